#' Simulate the trials of a design
#'
#' Runs the design as `survseq FILE` does: the search for the accrual rate that gives
#' the desired power, or one iteration at a given rate or number of patients. Every
#' number is the one the program's JSON results hold for the same design (the columns
#' are named as its keys, docs/results-json.md); any number of threads gives the same
#' numbers.
#'
#' In interactive sessions a progress bar shows each iteration; an interrupt stops the
#' run within a fraction of a second, with every thread stopped, and R carries on.
#'
#' @param design a design ([survseq_design()]) or the path of a design file.
#' @param threads threads that simulate; `NULL` for every core.
#' @param seed the seed of the random stream instead of the design's.
#' @param report a file for the program's report, byte for byte the report of
#'   `survseq FILE`; `NULL` for none.
#' @param progress whether to show a progress bar.
#' @return An object of class `survseq_run`: a list with `design`, the data frames
#'   `iterations` (one row per iteration and statistic), `looks` (one row per
#'   iteration, statistic and look) and `planned_looks` (the planned boundaries), the
#'   `outcome` (a list as the JSON's), `analytic` (the analytic plan at the size where the
#'   search ended, or `NULL`), `combination` (for a design with `[combination]`: one row
#'   per iteration and look of the combination of statistics; `NULL` otherwise) and
#'   `threads`.
#' @examples
#' design <- survseq_design(
#'   analysis_times = c(12, 24, 36), simulations_per_iteration = 100,
#'   baseline_survival = list(median = 12), alternative = list(hazard_ratio = 0.7),
#'   accrual = list(period = 24, rate = 20)
#' )
#' run <- simulate_trials(design, threads = 1)
#' run
#' @export
simulate_trials <- function(design, threads = NULL, seed = NULL, report = NULL,
                            progress = interactive()) {
  design <- as_design(design)
  if (!is.null(seed)) design <- update(design, seed = seed)
  result <- simulate_design_(design_toml(design), design_name, thread_count(threads),
                             report_path(report), isTRUE(progress), FALSE)
  run_object(design, result, report)
}

run_object <- function(design, result, report) {
  emit_console(result$console)
  emit_engine_warnings(result$warnings)
  analytic <- if (!is.null(result$analytic)) plan_object(design, result$analytic)
  structure(list(
    design = design,
    iterations = result$iterations,
    looks = result$looks,
    planned_looks = result$planned_looks,
    combination = result$combination,
    outcome = result$outcome,
    analytic = analytic,
    desired_power = result$desired_power,
    threads = result$threads,
    report = report
  ), class = "survseq_run")
}

as_design <- function(design) {
  if (inherits(design, "survseq_design")) return(design)
  if (is.character(design)) return(read_design(design))
  abort_survseq("a design must come from survseq_design() or read_design(), or be a file")
}

thread_count <- function(threads) {
  if (is.null(threads)) return(0L)
  if (!is.numeric(threads) || length(threads) != 1 || is.na(threads) ||
      threads != trunc(threads) || threads < 1) {
    abort_survseq("threads must be one whole number of at least 1, or NULL for every core")
  }
  as.integer(threads)
}

report_path <- function(report) {
  if (is.null(report)) return("")
  if (!is.character(report) || length(report) != 1 || is.na(report) || !nzchar(report)) {
    abort_survseq("report must be the name of a file, or NULL for none")
  }
  path.expand(report)
}

#' @export
print.survseq_run <- function(x, ...) {
  cat(run_answer(x), "\n", sep = "")
  table <- boundary_table(x)
  for (s in unique(table$statistic)) {
    cat("\nStatistic ", s, ", last iteration (", x$outcome$iteration, "):\n", sep = "")
    print(table[table$statistic == s, setdiff(names(table), "statistic")], row.names = FALSE,
          digits = 4)
  }
  invisible(x)
}

run_answer <- function(x) {
  o <- x$outcome
  answer <- sprintf("%s: accrual rate %.4g, %d patients, power %.4f (s.e. %.4f)",
                    o$words, o$accrual_rate, o$patients, o$power, o$standard_error)
  if (!is.na(o$analytic_accrual_rate)) {
    answer <- paste0(answer, sprintf("; analytic rate %.4g", o$analytic_accrual_rate))
  }
  if (!is.na(o$analytic_power)) {
    answer <- paste0(answer, sprintf("; analytic power there %.4f", o$analytic_power))
  }
  answer
}

# The protocol's boundary table at the last iteration: per statistic and look the
# planned information fraction and boundaries, the simulated events and cumulative
# rejection, and the analytic cumulative rejection under the alternative and the null.
boundary_table <- function(x) {
  last <- x$outcome$iteration
  looks <- x$looks[x$looks$iteration == last, ]
  planned <- x$planned_looks[x$planned_looks$iteration == last, ]
  table <- data.frame(
    statistic = looks$statistic,
    look = looks$look,
    fraction = planned$information_fraction,
    events = looks$mean_events,
    time = if (!is.null(looks$mean_time)) looks$mean_time else looks$time,
    efficacy_z = planned$efficacy_z,
    nominal_p = planned$nominal_p,
    futility_z = planned$futility_z,
    reject_simulated = stats::ave(looks$stopped_share, looks$statistic, FUN = cumsum)
  )
  if (!is.null(x$analytic)) {
    analytic <- x$analytic$looks
    table$reject_alternative <- analytic$cumulative_power
    table$reject_null <- analytic$cumulative_type_one_error
  }
  table
}

#' @export
summary.survseq_run <- function(object, ...) {
  structure(list(answer = run_answer(object), boundaries = boundary_table(object),
                 iterations = object$iterations),
            class = "summary.survseq_run")
}

#' @export
print.summary.survseq_run <- function(x, digits = 4, ...) {
  cat(x$answer, "\n\nSearch:\n", sep = "")
  print(x$iterations[, c("iteration", "accrual_rate", "patients", "statistic", "power",
                         "standard_error")], row.names = FALSE, digits = digits)
  cat("\nBoundaries at the last iteration:\n")
  print(x$boundaries, row.names = FALSE, digits = digits)
  invisible(x)
}

#' Results as data frames
#'
#' @param x a run or a plan.
#' @param row.names,optional not used.
#' @param what which table: for a run `"looks"`, `"iterations"`, `"planned_looks"` or
#'   `"boundaries"` (the protocol's table at the last iteration); for a plan `"looks"`
#'   or `"statistics"`.
#' @param ... not used.
#' @return A data frame.
#' @export
as.data.frame.survseq_run <- function(x, row.names = NULL, optional = FALSE,
                                      what = c("looks", "iterations", "planned_looks",
                                               "boundaries"), ...) {
  what <- match.arg(what)
  if (what == "boundaries") return(boundary_table(x))
  x[[what]]
}
