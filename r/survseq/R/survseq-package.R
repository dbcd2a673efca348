#' survseq: group-sequential survival trial designs by simulation
#'
#' The engine of the survseq program, in process. A design is made with
#' [survseq_design()] or read with [read_design()]; [plan_design()] gives its
#' analytic plan at once, [simulate_trials()] the simulation search for the
#' accrual rate (or the power at a given size), and [run_grid()] a grid of
#' scenarios. The results hold the numbers of the program's JSON results.
#'
#' @keywords internal
#' @useDynLib survseq, .registration = TRUE
#' @importFrom cli cli_progress_bar
#' @importFrom utils globalVariables
"_PACKAGE"
