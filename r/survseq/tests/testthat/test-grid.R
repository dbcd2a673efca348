test_that("a grid runs the scenarios of the cartesian product, the last axis fastest", {
  design <- small_design(accrual = list(rate_lower = NULL, rate_upper = NULL, rate = 20),
                         simulations_per_iteration = 100)
  table <- run_grid(design, alternative.hazard_ratio = c(0.6, 0.8),
                    baseline_survival.median = c(9, 12), threads = 1)
  expect_identical(table$scenario, 1:4)
  expect_identical(table$alternative.hazard_ratio, c(0.6, 0.6, 0.8, 0.8))
  expect_identical(table$baseline_survival.median, c(9, 12, 9, 12))
  expect_identical(names(table)[4:10], c("outcome", "accrual_rate", "patients",
                                         "analytic_accrual_rate", "analytic_power_1",
                                         "power_1", "standard_error_1"))
  alone <- simulate_trials(update(design, alternative.hazard_ratio = 0.8,
                                  baseline_survival.median = 9), threads = 1)
  expect_identical(table$power_1[3], alone$outcome$power)
  expect_identical(table$patients[3], alone$outcome$patients)
})

test_that("a scenario the reader refuses is named before anything runs", {
  condition <- condition_of(run_grid(small_design(), alternative.hazard_ratio = c(0.7, -1)))
  expect_s3_class(condition, "survseq_error")
  expect_match(conditionMessage(condition),
               "scenario 2 of 2 (alternative.hazard_ratio = -1): alternative.hazard_ratio: ",
               fixed = TRUE)
})
