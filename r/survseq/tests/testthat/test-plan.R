test_that("the plan's data frames hold the numbers of the program's JSON plan", {
  skip_if_not_installed("jsonlite")
  designs <- list(small_design(),
                  small_design(statistics = list(list(rho = 0, tau = 0), list(rho = 1, tau = 0)),
                               accrual = list(rate_lower = NULL, rate_upper = NULL,
                                              patients = 500)))
  for (design in designs) {
    result <- plan_design_(design_toml(design), design_name, TRUE)
    json <- jsonlite::fromJSON(result$json, simplifyVector = FALSE)
    looks <- do.call(rbind, lapply(json$statistics, function(s) {
      do.call(rbind, lapply(s$looks, function(l) {
        as.data.frame(lapply(c(list(statistic = s$statistic), l),
                             function(v) if (is.null(v)) NA_real_ else v))
      }))
    }))
    expect_same_numbers(result$plan$looks, looks)
    expect_identical(result$plan$accrual_rate, json$accrual_rate)
    expect_identical(result$plan$patients, json$patients)
    expect_identical(result$plan$basis, json$basis)
  }
})

test_that("a plan prints the program's table and summarises as a data frame", {
  plan <- plan_design(small_design(accrual = list(rate_lower = NULL, rate_upper = NULL,
                                                  patients = 420)))
  expect_identical(plan$basis, "given_size")
  expect_identical(plan$patients, 420L)
  expect_output(print(plan), "P(reject) null", fixed = TRUE)
  table <- as.data.frame(summary(plan)$boundaries)
  expect_identical(table$reject_null, plan$looks$cumulative_type_one_error)
  expect_identical(nrow(as.data.frame(plan, what = "statistics")), 1L)
})
