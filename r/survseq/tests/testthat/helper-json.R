# The program's JSON results, written in process from the same records as the data frames,
# read back as data frames with the same columns (null as NA).
json_run <- function(design, threads = 1L) {
  skip_if_not_installed("jsonlite")
  result <- simulate_design_(design_toml(design), design_name, threads, "", FALSE, TRUE)
  list(frames = result, json = jsonlite::fromJSON(result$json, simplifyVector = FALSE))
}

json_frames <- function(json) {
  rows <- function(f) do.call(rbind, lapply(json$iterations, f))
  frame <- function(values) {
    as.data.frame(lapply(values, function(v) if (is.null(v)) NA_real_ else v))
  }
  iterations <- rows(function(it) do.call(rbind, lapply(it$statistics, function(s) frame(list(
    iteration = it$iteration, accrual_rate = it$accrual_rate, patients = it$patients,
    statistic = s$statistic, rho = s$rho, tau = s$tau, power = s$power,
    standard_error = s$standard_error, average_stopping_time = s$average_stopping_time)))))
  looks <- rows(function(it) do.call(rbind, lapply(it$statistics, function(s) {
    do.call(rbind, lapply(s$looks, function(l) frame(c(list(iteration = it$iteration,
                                                            statistic = s$statistic), l))))
  })))
  planned <- rows(function(it) do.call(rbind, lapply(it$statistics, function(s) {
    do.call(rbind, lapply(s$planned_looks, function(l) frame(c(list(iteration = it$iteration,
                                                                    statistic = s$statistic), l))))
  })))
  list(iterations = iterations, looks = looks, planned_looks = planned)
}

# Every column of `frame` equals the JSON's, as doubles, exactly.
expect_same_numbers <- function(frame, json) {
  expect_identical(names(frame), names(json))
  for (column in names(frame)) {
    expect_identical(as.double(frame[[column]]), as.double(json[[column]]), info = column)
  }
}
