#' Plot a run
#'
#' As the program's SVG picture: left, the search path, the simulated power of
#' statistic 1 at each accrual rate visited (numbered in visiting order) with bars of
#' two standard errors, beside the analytic power curve, with the desired power as a
#' line; right, the last iteration, the cumulative share of trials rejected by each
#' look for each statistic, beside the analytic cumulative power (dashed).
#'
#' @param x a run from [simulate_trials()].
#' @param ... not used.
#' @return A ggplot object, invisibly (it is drawn).
#' @export
plot.survseq_run <- function(x, ...) {
  picture <- run_plot(x)
  print(picture)
  invisible(picture)
}

search_panel <- "Power of statistic 1 by accrual rate"
look_panel <- "Cumulative rejection by look, last iteration"

run_plot <- function(x) {
  first <- x$iterations[x$iterations$statistic == 1, ]
  path <- data.frame(
    panel = search_panel, x = first$accrual_rate, y = first$power,
    lower = first$power - 2 * first$standard_error,
    upper = first$power + 2 * first$standard_error,
    label = as.character(first$iteration)
  )
  span <- range(path$x)
  span <- span + c(-0.1, 0.1) * max(diff(span), 0.2 * span[2])
  rates <- seq(max(span[1], 1e-3), span[2], length.out = 60)
  curve <- data.frame(panel = search_panel, x = rates,
                      y = analytic_power_curve_(design_toml(x$design), design_name, rates))
  curve <- curve[!is.na(curve$y), ]

  last <- x$looks[x$looks$iteration == x$outcome$iteration, ]
  rejected <- data.frame(
    panel = look_panel, x = last$look,
    y = stats::ave(last$stopped_share, last$statistic, FUN = cumsum),
    statistic = factor(last$statistic)
  )
  picture <- ggplot2::ggplot(mapping = ggplot2::aes(x = x, y = y)) +
    ggplot2::geom_line(data = curve, colour = "grey45") +
    ggplot2::geom_hline(data = data.frame(panel = search_panel, y = x$desired_power),
                        ggplot2::aes(yintercept = y), linetype = "dotted") +
    ggplot2::geom_pointrange(data = path, ggplot2::aes(ymin = lower, ymax = upper)) +
    ggplot2::geom_text(data = path, ggplot2::aes(label = label), nudge_x = 0.03 * diff(span),
                       hjust = 0, size = 3) +
    ggplot2::geom_line(data = rejected, ggplot2::aes(colour = statistic)) +
    ggplot2::geom_point(data = rejected, ggplot2::aes(colour = statistic))
  if (!is.null(x$analytic)) {
    analytic <- x$analytic$looks
    picture <- picture + ggplot2::geom_line(
      data = data.frame(panel = look_panel, x = analytic$look, y = analytic$cumulative_power,
                        statistic = factor(analytic$statistic)),
      ggplot2::aes(colour = statistic), linetype = "dashed"
    )
  }
  picture +
    ggplot2::scale_x_continuous(breaks = whole_breaks) +
    ggplot2::facet_wrap(~ factor(panel, levels = c(search_panel, look_panel)), scales = "free") +
    ggplot2::labs(x = NULL, y = NULL, colour = "statistic",
                  title = run_answer(x)) +
    ggplot2::theme_bw() +
    ggplot2::theme(plot.title = ggplot2::element_text(size = 9))
}

# Pretty breaks, the whole numbers alone when there are enough of them: looks are numbered.
whole_breaks <- function(limits) {
  breaks <- pretty(limits)
  whole <- breaks[breaks == round(breaks)]
  if (length(whole) >= 2) whole else breaks
}

# The columns the aesthetics name.
utils::globalVariables(c("x", "y", "lower", "upper", "label", "statistic"))
