test_that("the data frames hold the numbers of the program's JSON results", {
  designs <- list(
    search = small_design(),
    futility = small_design(sides = 1, boundary = list(use_function = "hwang_shih_decani",
                                                        gamma = -4),
                            futility = list(z = c(0, 0.5)), accrual = list(rate_lower = NULL,
                            rate_upper = NULL, patients = 400)),
    events = small_design(analysis_times = NULL, analysis_events = c(100, 150, 200),
                          accrual = list(rate_lower = NULL, rate_upper = NULL, rate = 20),
                          statistics = list(list(rho = 0, tau = 0), list(rho = 0, tau = 1)))
  )
  for (name in names(designs)) {
    run <- json_run(designs[[name]])
    expected <- json_frames(run$json)
    for (table in c("iterations", "looks", "planned_looks")) {
      expect_same_numbers(run$frames[[table]], expected[[table]])
    }
    outcome <- run$json$outcome
    got <- run$frames$outcome
    for (key in names(outcome)) {
      value <- if (is.null(outcome[[key]])) NA else outcome[[key]]
      expect_identical(as.character(got[[key]]), as.character(value), info = paste(name, key))
    }
  }
})

test_that("any number of threads gives the same numbers", {
  design <- small_design()
  one <- simulate_trials(design, threads = 1)
  two <- simulate_trials(design, threads = 2)
  expect_identical(one$looks, two$looks)
  expect_identical(one$iterations, two$iterations)
  expect_identical(one$outcome, two$outcome)
  expect_identical(two$threads, 2L)
})

test_that("runs one after another leave nothing behind for the next", {
  first <- small_design()
  second <- small_design(seed = 4711, alternative = list(hazard_ratio = 0.6))
  alone <- simulate_trials(first, threads = 1)
  other <- simulate_trials(second, threads = 2)
  again <- simulate_trials(first, threads = 1)
  expect_identical(again$looks, alone$looks)
  expect_identical(again$outcome, alone$outcome)
  expect_false(identical(other$iterations, alone$iterations))
  expect_identical(simulate_trials(first, seed = 4711)$iterations,
                   simulate_trials(update(first, seed = 4711))$iterations)
})

test_that("a report is written only when asked, and is the program's", {
  folder <- tempfile()
  dir.create(folder)
  old <- setwd(folder)
  on.exit(setwd(old))
  design <- small_design(report_file = "trial.out")
  simulate_trials(design, threads = 1)
  expect_identical(list.files(folder), character())
  report <- file.path(folder, "asked.out")
  run <- simulate_trials(design, threads = 1, report = report)
  expect_identical(list.files(folder), "asked.out")
  text <- readLines(report)
  expect_match(text[1], "^The seed = +-123457$")
  expect_true(any(grepl("desired power", text, fixed = TRUE)))
  expect_identical(run$report, report)
})

test_that("print and summary give the answer and the boundary table", {
  run <- simulate_trials(small_design(), threads = 1)
  shown <- capture.output(print(run))
  expect_match(shown[1], sprintf("%d patients", run$outcome$patients), fixed = TRUE)
  table <- as.data.frame(run, what = "boundaries")
  expect_identical(nrow(table), 3L)
  last <- run$looks[run$looks$iteration == run$outcome$iteration, ]
  expect_identical(table$reject_simulated, cumsum(last$stopped_share))
  expect_identical(table$reject_alternative[3], run$analytic$statistics$power[1])
  expect_output(print(summary(run)), "Boundaries at the last iteration")
  expect_s3_class(run_plot(run), "ggplot")
})

test_that("an interrupt stops the run, and the next run works", {
  skip_on_cran()
  skip_if(.Platform$OS.type != "unix")
  long <- small_design(simulations_per_iteration = 100000,
                       accrual = list(rate_lower = NULL, rate_upper = NULL, rate = 40))
  # As Ctrl-C would, a second into the run.
  system2("sh", c("-c", shQuote(sprintf("sleep 1; kill -INT %d", Sys.getpid()))), wait = FALSE)
  started <- Sys.time()
  condition <- tryCatch(simulate_trials(long, threads = 2, progress = FALSE),
                        interrupt = function(c) c)
  expect_s3_class(condition, "interrupt")
  expect_lt(as.numeric(Sys.time() - started, units = "secs"), 5)
  expect_s3_class(simulate_trials(small_design(), threads = 2), "survseq_run")
})
