#' Make a design
#'
#' Takes the keys of the keyed design file (`survseq --template toml` shows every one
#' with its default) as named arguments, with their nesting as named lists, and checks
#' them with the program's own keyed reader: a value it refuses is an error of class
#' `survseq_error` whose message names the key, `"survseq: accrual.rate_upper: ..."`.
#'
#' Numbers whose key takes an array (`analysis_times`, `analysis_events`,
#' `error_shares`, `critical_values`, `z`, `times`, `survival`, `interval_ends`,
#' `hazard_rates`, `hazard_ratios`, `rates`, `piece_durations`, `relative_rates`) may
#' be given as a single number. Several statistics are a list of lists or a data frame
#' with columns `rho` and `tau`.
#'
#' @param ... keys and values of the design, e.g. `analysis_times = c(12, 24, 36)`,
#'   `baseline_survival = list(median = 12)`, `alternative = list(hazard_ratio = 0.7)`,
#'   `accrual = list(period = 24, rate_lower = 10, rate_upper = 50)`.
#' @return A design: a named list of class `survseq_design`.
#' @seealso [read_design()], [write_design()], [plan_design()], [simulate_trials()]
#' @examples
#' design <- survseq_design(
#'   analysis_times = c(12, 24, 36),
#'   simulations_per_iteration = 200,
#'   baseline_survival = list(median = 12),
#'   alternative = list(hazard_ratio = 0.7),
#'   accrual = list(period = 24, rate_lower = 10, rate_upper = 50)
#' )
#' design
#' @export
survseq_design <- function(...) {
  validate_design(new_design(list(...)))
}

new_design <- function(keys) {
  if (length(keys) > 0 && (is.null(names(keys)) || !all(nzchar(names(keys))))) {
    abort_survseq("every value of a design needs the name of its key")
  }
  structure(keys[!vapply(keys, is.null, TRUE)], class = "survseq_design")
}

validate_design <- function(design) {
  emit_engine_warnings(check_design_(design_toml(design), design_name))
  design
}

#' Read a design file
#'
#' Reads a keyed design (`.toml`) or a positional parameter file (any other name) as
#' the program does. A positional file is read with the program's repairs, and its
#' values after them become the keys of the design, as `survseq convert` writes them;
#' the repair lines come as a message, and what the keyed design cannot hold as a
#' warning.
#'
#' @param path the design file.
#' @return A design of class `survseq_design`.
#' @examples
#' path <- system.file("examples", "four_look_obrien_fleming.toml", package = "survseq")
#' read_design(path)
#' @export
read_design <- function(path) {
  if (!is.character(path) || length(path) != 1 || is.na(path)) {
    abort_survseq("the path of a design file must be one string")
  }
  if (!file.exists(path)) abort_survseq(paste0("could not open the design file '", path, "'"))
  if (grepl("\\.toml$", path)) {
    text <- paste0(readLines(path, warn = FALSE, encoding = "UTF-8"), collapse = "\n")
    emit_engine_warnings(check_design_(text, path))
  } else {
    converted <- positional_design_(path)
    text <- converted[[1]]
    emit_console(converted[[2]])
    emit_engine_warnings(converted[[3]])
  }
  structure(design_list_(text, path), class = "survseq_design")
}

#' Write a design file
#'
#' Writes the keyed design file (TOML) of a design; [read_design()] gives it back.
#'
#' @param design a design.
#' @param path the file to write.
#' @return `path`, invisibly.
#' @export
write_design <- function(design, path) {
  stopifnot(inherits(design, "survseq_design"))
  writeLines(sub("\n$", "", design_toml(design)), path, useBytes = TRUE)
  invisible(path)
}

#' Change keys of a design
#'
#' Keys given as named lists are merged into the design's tables, a `NULL` removes a
#' key, and a dotted name changes one key of a table, as the axes of a grid do:
#' `update(design, alternative.hazard_ratio = 0.6)`. The design is checked again.
#'
#' @param object a design.
#' @param ... keys and their new values.
#' @return The changed design.
#' @examples
#' design <- survseq_design(
#'   analysis_times = c(12, 24, 36), baseline_survival = list(median = 12),
#'   alternative = list(hazard_ratio = 0.7), accrual = list(period = 24)
#' )
#' update(design, alternative.hazard_ratio = 0.6, accrual = list(patients = 400))
#' @importFrom stats update
#' @export
update.survseq_design <- function(object, ...) {
  changes <- list(...)
  if (length(changes) > 0 && (is.null(names(changes)) || !all(nzchar(names(changes))))) {
    abort_survseq("every change of a design needs the name of its key")
  }
  design <- unclass(object)
  for (i in seq_along(changes)) {
    design <- set_key(design, strsplit(names(changes)[i], ".", fixed = TRUE)[[1]],
                      changes[i][[1]])
  }
  validate_design(new_design(design))
}

# Puts `value` at the path of keys `path` of the named list `x`, merging named lists.
set_key <- function(x, path, value) {
  key <- path[1]
  if (length(path) > 1) {
    inner <- if (is.list(x[[key]])) x[[key]] else list()
    x[[key]] <- set_key(inner, path[-1], value)
    return(x)
  }
  if (is_table(value) && is_table(x[[key]])) {
    for (k in names(value)) x[[key]] <- set_key(x[[key]], k, value[k][[1]])
    return(x)
  }
  if (is.null(value)) {
    x[[key]] <- NULL
  } else {
    x[key] <- list(value)
  }
  x
}

#' @export
print.survseq_design <- function(x, ...) {
  cat("<survseq design>\n")
  cat(format(x), sep = "\n")
  invisible(x)
}

#' @export
format.survseq_design <- function(x, ...) {
  x <- unclass(x)
  vapply(names(x), function(k) paste0(toml_key(k), " = ", toml_value(x[[k]], k, k)), "",
         USE.NAMES = FALSE)
}

#' @export
as.list.survseq_design <- function(x, ...) unclass(x)
