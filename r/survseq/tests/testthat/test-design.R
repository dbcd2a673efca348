test_that("the keyed reader's refusals become conditions naming the key", {
  cases <- list(
    list(change = list(accrual = list(rate_lower = 60)), key = "accrual.rate_upper",
         words = "rate_lower"),
    list(change = list(sides = 3), key = "sides", words = NULL),
    list(change = list(sides = "two"), key = "sides", words = "whole number"),
    list(change = list(type_one_error = 1.5), key = "type_one_error", words = NULL),
    list(change = list(alternative = list(hazard_rati = 0.7)), key = "alternative.hazard_rati",
         words = "did you mean 'hazard_ratio'"),
    list(change = list(desired_powr = 0.9), key = "desired_powr", words = "did you mean"),
    list(change = list(analysis_times = c(24, 12)), key = "analysis_times", words = NULL),
    list(change = list(statistics = list(list(rho = -1, tau = 0))), key = "statistics[1].rho",
         words = NULL),
    list(change = list(simulations_per_iteration = NA), key = "simulations_per_iteration",
         words = "NA")
  )
  for (case in cases) {
    condition <- condition_of(do.call(small_design, case$change))
    expect_s3_class(condition, "survseq_error")
    expect_identical(condition$key, case$key, info = conditionMessage(condition))
    expect_identical(substr(conditionMessage(condition), 1, nchar(case$key) + 11),
                     paste0("survseq: ", case$key, ": "), info = case$key)
    if (!is.null(case$words)) {
      expect_match(conditionMessage(condition), case$words, fixed = TRUE, info = case$key)
    }
  }
})

test_that("a key that takes an array takes a single number too, and AsIs forces one", {
  one_look <- small_design(analysis_times = 36)
  expect_match(design_toml(one_look), "analysis_times = [36]", fixed = TRUE)
  expect_s3_class(plan_design(one_look), "survseq_plan")
  expect_match(design_toml(new_design(list(accrual = list(period = I(24))))), "period = [24]",
               fixed = TRUE)
})

test_that("numbers are written so that they read back as the same double", {
  values <- c(0.7, 1 / 3, 1e-7, 123456.789, 2^60, -0.1 + 0.2)
  for (value in values) {
    text <- toml_number(value)
    expect_identical(as.numeric(text), value, info = text)
    expect_match(text, "^-?[0-9]", info = text)
  }
  expect_identical(toml_number(24), "24")
})

test_that("update merges tables, removes keys given NULL and takes dotted keys", {
  design <- small_design()
  changed <- update(design, alternative.hazard_ratio = 0.6,
                    accrual = list(rate_lower = NULL, rate_upper = NULL, patients = 400))
  expect_identical(changed$alternative$hazard_ratio, 0.6)
  expect_identical(names(changed$accrual), c("period", "patients"))
  expect_identical(changed$baseline_survival, design$baseline_survival)
})

test_that("write_design and read_design give the design back, and the same plan", {
  design <- small_design(statistics = data.frame(rho = c(0, 1), tau = c(0, 0)),
                         accrual = list(rate_lower = 10.25, rate_upper = 50))
  path <- tempfile(fileext = ".toml")
  write_design(design, path)
  again <- read_design(path)
  expect_equal(unclass(again)$accrual, unclass(design)$accrual, ignore_attr = TRUE)
  expect_identical(length(again$statistics), 2L)
  expect_identical(plan_design(again)$looks, plan_design(design)$looks)
})

test_that("tables whose keys all keep their defaults read, write and run", {
  # [[statistics]] alone is the log-rank statistic, [combination] alone combines them all.
  path <- tempfile(fileext = ".toml")
  writeLines(c("seed = 7", "analysis_times = [30.0]", "simulations_per_iteration = 20",
               "[[statistics]]", "[[statistics]]", "tau = 1.0", "[combination]",
               "[accrual]", "period = 24.0", "patients = 200",
               "[baseline_survival]", "median = 12.0", "[alternative]", "hazard_ratio = 0.7"),
             path)
  design <- read_design(path)
  expect_identical(length(design$statistics), 2L)
  again <- tempfile(fileext = ".toml")
  write_design(design, again)
  expect_true(any(readLines(again) == "[combination]"))
  expect_equal(unclass(read_design(again))$statistics, unclass(design)$statistics)
  run <- simulate_trials(design, threads = 1L, progress = FALSE)
  expect_identical(nrow(run$combination), 1L)
})

test_that("a positional file reads as the keyed file the program converts it to", {
  positional <- read_design(example_path("haybittle.par"))
  keyed <- read_design(example_path("haybittle.toml"))
  expect_identical(plan_design(positional)$looks, plan_design(keyed)$looks)
  expect_identical(plan_design(positional)$patients, plan_design(keyed)$patients)
})

test_that("reading a file names the file, its line and the key", {
  path <- tempfile(fileext = ".toml")
  writeLines(c("analysis_times = [12.0, 24.0]", "sides = 4"), path)
  condition <- condition_of(read_design(path))
  expect_s3_class(condition, "survseq_error")
  expect_match(conditionMessage(condition), paste0(path, ":2:[0-9]+: sides: "), fixed = FALSE)
})

test_that("arguments that are not a design are refused with a survseq condition", {
  expect_s3_class(condition_of(survseq_design(12)), "survseq_error")
  expect_s3_class(condition_of(simulate_trials(list(a = 1))), "survseq_error")
  expect_s3_class(condition_of(simulate_trials(small_design(), threads = 0)), "survseq_error")
  expect_s3_class(condition_of(read_design(tempfile())), "survseq_error")
})
