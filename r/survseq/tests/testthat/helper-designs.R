# Small designs that run in a fraction of a second.
small_design <- function(...) {
  base <- survseq_design(
    analysis_times = c(12, 24, 36),
    simulations_per_iteration = 200,
    baseline_survival = list(median = 12),
    alternative = list(hazard_ratio = 0.7),
    accrual = list(period = 24, rate_lower = 10, rate_upper = 50)
  )
  if (...length() == 0) base else update(base, ...)
}

example_path <- function(name) {
  path <- system.file("examples", name, package = "survseq")
  if (!nzchar(path)) skip(paste("example", name, "not installed"))
  path
}

# The condition a call raises, or NULL.
condition_of <- function(expr) tryCatch({ expr; NULL }, condition = function(c) c)
