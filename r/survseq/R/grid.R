#' Run a grid of scenarios
#'
#' Varies keys of a design over a cartesian grid, as `survseq grid` does with the axes
#' of a grid file, and runs every scenario in this session. Scenarios are numbered from
#' 1 with the last axis changing fastest; each is the design with the axis keys
#' replaced (the seed too, unless it is an axis). Every scenario is checked before any
#' runs.
#'
#' @param design a design ([survseq_design()]) or the path of a design file.
#' @param ... the axes: dotted keys of the design with their values, e.g.
#'   `alternative.hazard_ratio = c(0.6, 0.7, 0.8)`; a list gives values that are
#'   themselves vectors, e.g. `analysis_times = list(c(12, 24), c(12, 24, 36))`.
#' @param threads threads per scenario; `NULL` for every core.
#' @param progress whether to show a progress bar in each scenario's run.
#' @return A data frame with one row per scenario and the columns of the program's
#'   `results.csv`: `scenario`, one per axis, `outcome`, `accrual_rate`, `patients`,
#'   `analytic_accrual_rate`, `analytic_power_1`, then `power_s`, `standard_error_s` and
#'   `average_stopping_time_s` of each statistic `s`.
#' @examples
#' design <- survseq_design(
#'   analysis_times = c(12, 24, 36), simulations_per_iteration = 100,
#'   baseline_survival = list(median = 12), alternative = list(hazard_ratio = 0.7),
#'   accrual = list(period = 24, rate = 20)
#' )
#' run_grid(design, alternative.hazard_ratio = c(0.6, 0.7), threads = 1)
#' @export
run_grid <- function(design, ..., threads = NULL, progress = interactive()) {
  design <- as_design(design)
  axes <- list(...)
  if (length(axes) == 0 || is.null(names(axes)) || !all(nzchar(names(axes)))) {
    abort_survseq("a grid needs at least one axis, named by its dotted key")
  }
  axes <- lapply(axes, function(values) if (is.list(values)) values else as.list(values))
  sizes <- vapply(axes, length, 1L)
  if (any(sizes == 0)) abort_survseq("has no values", names(axes)[sizes == 0][1])
  count <- prod(sizes)
  # Scenario n's index on each axis, the last axis fastest.
  index <- as.matrix(rev(expand.grid(lapply(rev(sizes), seq_len))))
  designs <- lapply(seq_len(count), function(n) {
    values <- Map(function(axis, i) axis[[i]], axes, index[n, ])
    label <- paste(names(axes), "=", vapply(names(axes), function(k) {
      toml_value(values[[k]], k, sub(".*\\.", "", k))
    }, ""), collapse = ", ")
    tryCatch(do.call(update, c(list(design), values)), survseq_error = function(e) {
      abort_survseq(sprintf("scenario %d of %d (%s): %s", n, count, label,
                            sub("^survseq: ", "", conditionMessage(e))))
    })
  })
  rows <- lapply(seq_len(count), function(n) {
    run <- simulate_trials(designs[[n]], threads = threads, progress = progress)
    scenario_row(run, n, Map(function(axis, i) axis[[i]], axes, index[n, ]))
  })
  # A statistic a scenario does not have leaves its cells NA.
  columns <- unique(unlist(lapply(rows, names)))
  rows <- lapply(rows, function(row) {
    row[setdiff(columns, names(row))] <- NA
    as.data.frame(row[columns], check.names = FALSE)
  })
  table <- do.call(rbind, rows)
  rownames(table) <- NULL
  table
}

scenario_row <- function(run, number, values) {
  o <- run$outcome
  row <- c(
    list(scenario = number),
    lapply(values, function(v) if (length(v) == 1 && is.atomic(v)) v else toml_value(v, "", "")),
    list(outcome = o$kind, accrual_rate = o$accrual_rate, patients = o$patients,
         analytic_accrual_rate = o$analytic_accrual_rate, analytic_power_1 = o$analytic_power)
  )
  last <- run$iterations[run$iterations$iteration == o$iteration, ]
  for (s in last$statistic) {
    at <- last[last$statistic == s, ]
    row[[paste0("power_", s)]] <- at$power
    row[[paste0("standard_error_", s)]] <- at$standard_error
    row[[paste0("average_stopping_time_", s)]] <- at$average_stopping_time
  }
  row
}
