#' The analytic plan of a design
#'
#' Works out at once, without simulation, what `survseq plan FILE` prints: the accrual
#' rate and patients (the fewest at which the analytic power of statistic 1, or of the
#' combination for a design with `[combination]`, reaches the desired power, or the
#' design's given size), and for each statistic and look the
#' expected time and events, the planned boundaries and the cumulative probabilities
#' of rejecting under the alternative and under the null hypothesis. The numbers are
#' those of the program's JSON plan (docs/plan-json.md).
#'
#' @param design a design ([survseq_design()]) or the path of a design file.
#' @return An object of class `survseq_plan`: a list with `design`, `basis`,
#'   `accrual_rate`, `patients`, and the data frames `statistics` and `looks`.
#' @examples
#' design <- survseq_design(
#'   analysis_times = c(12, 24, 36), baseline_survival = list(median = 12),
#'   alternative = list(hazard_ratio = 0.7), accrual = list(period = 24)
#' )
#' plan <- plan_design(design)
#' plan
#' summary(plan)
#' @export
plan_design <- function(design) {
  design <- as_design(design)
  result <- plan_design_(design_toml(design), design_name, FALSE)
  emit_engine_warnings(result$warnings)
  plan <- plan_object(design, result$plan)
  plan$text <- result$text
  plan
}

plan_object <- function(design, plan) {
  structure(c(list(design = design), plan), class = "survseq_plan")
}

plan_answer <- function(x) {
  basis <- if (x$basis == "given_size") "as given" else "the fewest for the desired power"
  sprintf("Accrual rate %.4f per unit of time, %d patients (%s); analytic power %.4f",
          x$accrual_rate, x$patients, basis, x$statistics$power[1])
}

plan_table <- function(x) {
  looks <- x$looks
  data.frame(
    statistic = looks$statistic,
    look = looks$look,
    fraction = looks$information_fraction,
    events = looks$expected_events,
    time = looks$expected_time,
    efficacy_z = looks$efficacy_z,
    nominal_p = looks$nominal_p,
    futility_z = looks$futility_z,
    reject_alternative = looks$cumulative_power,
    reject_null = looks$cumulative_type_one_error
  )
}

#' @export
print.survseq_plan <- function(x, ...) {
  if (!is.null(x$text)) {
    cat(x$text)
  } else {
    print(summary(x))
  }
  invisible(x)
}

#' @export
summary.survseq_plan <- function(object, ...) {
  structure(list(answer = plan_answer(object), boundaries = plan_table(object)),
            class = "summary.survseq_plan")
}

#' @export
print.summary.survseq_plan <- function(x, digits = 4, ...) {
  cat(x$answer, "\n\n", sep = "")
  print(x$boundaries, row.names = FALSE, digits = digits)
  invisible(x)
}

#' @rdname as.data.frame.survseq_run
#' @export
as.data.frame.survseq_plan <- function(x, row.names = NULL, optional = FALSE,
                                       what = c("looks", "statistics"), ...) {
  x[[match.arg(what)]]
}
