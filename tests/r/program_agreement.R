# The R package against the program on every shipped example and a small max-combo design:
# simulate_trials() and plan_design() must hold exactly the numbers of `survseq --json` and
# `survseq plan --json`, and the report asked of simulate_trials() must be the program's,
# byte for byte.
#
# Usage: Rscript program_agreement.R SURVSEQ SOURCE_DIR R_LIBRARY
# Exits 77 (skipped) when the package is not installed in R_LIBRARY.

args <- commandArgs(trailingOnly = TRUE)
program <- normalizePath(args[1])
source_dir <- normalizePath(args[2])
library_dir <- normalizePath(args[3], mustWork = FALSE)
if (!dir.exists(file.path(library_dir, "survseq"))) {
  cat("the R package is not installed in", library_dir, "\n")
  quit(status = 77)
}
suppressPackageStartupMessages({
  library(testthat)
  library(survseq, lib.loc = library_dir)
})
source(file.path(source_dir, "r/survseq/tests/testthat/helper-json.R"))

examples <- list.files(file.path(source_dir, "examples"), pattern = "\\.(toml|par)$",
                       full.names = TRUE)
# Not the templates, nor the max-combo example: its 2,000 trials take a quarter of a second
# each (their normal probabilities reach dimension twelve), too long to run twice here; a
# design of two looks and two statistics stands in for it.
examples <- examples[!grepl("^(defaults|grid|max_combo)", basename(examples))]
examples <- c(examples, file.path(source_dir, "tests/r/max_combo_two_looks.toml"))

run_program <- function(...) {
  status <- system2(program, c(...), stdout = FALSE, stderr = FALSE)
  if (status != 0) stop("survseq ", paste(...), " failed")
}

# The rows of the JSON plan's looks.
plan_looks <- function(json) {
  do.call(rbind, lapply(json$plan$statistics, function(s) {
    do.call(rbind, lapply(s$looks, function(l) {
      as.data.frame(lapply(c(list(statistic = s$statistic), l),
                           function(v) if (is.null(v)) NA_real_ else v))
    }))
  }))
}

# The rows of the JSON's combination: per iteration and look, the iteration's figures, the
# look's and its planned bound, as the R frame has them.
combination_rows <- function(json) {
  do.call(rbind, lapply(json$iterations, function(it) {
    combination <- it$combination
    do.call(rbind, lapply(seq_along(combination$looks), function(k) {
      look <- combination$looks[[k]]
      planned <- combination$planned_looks[[k]]
      values <- c(list(iteration = it$iteration, power = combination$power,
                       standard_error = combination$standard_error,
                       average_stopping_time = combination$average_stopping_time),
                  look, list(efficacy_z = planned$efficacy_z, nominal_p = planned$nominal_p))
      as.data.frame(lapply(values, function(v) if (is.null(v)) NA_real_ else v))
    }))
  }))
}

failures <- 0
for (path in examples) {
  folder <- tempfile("agreement")
  dir.create(folder)
  old <- setwd(folder)
  result <- tryCatch({
    run_program("--quiet", "--threads", "2", "--json", "run.json", path)
    run_program("plan", "--json", "plan.json", path)
    json <- jsonlite::fromJSON("run.json", simplifyVector = FALSE)
    plan_json <- jsonlite::fromJSON("plan.json", simplifyVector = FALSE)
    program_report <- list.files(folder, pattern = "\\.out$")

    design <- suppressMessages(suppressWarnings(read_design(path)))
    run <- suppressMessages(suppressWarnings(
      simulate_trials(design, threads = 2, progress = FALSE, report = "from_r.report")))
    plan <- suppressWarnings(plan_design(design))

    expected <- json_frames(json)
    numbers <- 0
    for (table in c("iterations", "looks", "planned_looks")) {
      expect_same_numbers(run[[table]], expected[[table]])
      numbers <- numbers + length(unlist(run[[table]]))
    }
    if (!is.null(json$iterations[[1]]$combination)) {
      expect_same_numbers(run$combination, combination_rows(json))
      numbers <- numbers + length(unlist(run$combination))
    }
    for (key in names(json$outcome)) {
      value <- if (is.null(json$outcome[[key]])) NA else json$outcome[[key]]
      expect_identical(as.character(run$outcome[[key]]), as.character(value), info = key)
    }
    expect_same_numbers(plan$looks, plan_looks(plan_json))
    expect_identical(plan$patients, plan_json$plan$patients)
    expect_identical(plan$accrual_rate, plan_json$plan$accrual_rate)
    expect_length(program_report, 1)
    same_report <- identical(readBin("from_r.report", "raw", 1e8),
                             readBin(program_report, "raw", 1e8))
    expect_true(same_report, info = "report")
    cat(sprintf("%-36s %2d iterations, %6d numbers of the run, %4d of the plan: equal; report: %s\n",
                basename(path), nrow(json_frames(json)$iterations) / length(unique(run$iterations$statistic)),
                numbers, length(unlist(plan$looks)), if (same_report) "same bytes" else "DIFFERS"))
    TRUE
  }, error = function(e) {
    cat(basename(path), ": ", conditionMessage(e), "\n", sep = "")
    FALSE
  })
  setwd(old)
  if (!result) failures <- failures + 1
}
if (failures > 0) quit(status = 1)
