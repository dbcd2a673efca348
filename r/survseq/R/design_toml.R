# A design (a nested named list) as the text of a keyed design file: plain keys first,
# then each table under its [header], then [[statistics]] and any other array of tables.
# Numbers are written so that they read back as the same double: whole numbers as TOML
# integers (the reader takes them where it wants reals too), others with the fewest
# digits that give the value back.

# Keys whose value is always an array, so that a single number is written as one.
array_keys <- c(
  "analysis_times", "analysis_events", "error_shares", "critical_values", "z",
  "piece_durations", "relative_rates", "times", "survival", "interval_ends",
  "hazard_rates", "hazard_ratios", "rates"
)

toml_key <- function(key) {
  if (grepl("^[A-Za-z0-9_-]+$", key)) key else toml_string(key)
}

toml_string <- function(text) {
  text <- enc2utf8(text)
  text <- gsub("\\", "\\\\", text, fixed = TRUE)
  text <- gsub("\"", "\\\"", text, fixed = TRUE)
  codes <- utf8ToInt(text)
  if (anyNA(codes)) abort_survseq("is not valid UTF-8 text")
  control <- codes < 32L | codes == 127L
  if (any(control)) {
    pieces <- vapply(codes, function(code) {
      if (code < 32L || code == 127L) sprintf("\\u%04X", code) else intToUtf8(code)
    }, "")
    text <- paste(pieces, collapse = "")
  }
  paste0("\"", text, "\"")
}

toml_number <- function(x) {
  if (is.nan(x)) return("nan")
  if (is.infinite(x)) return(if (x > 0) "inf" else "-inf")
  if (x == trunc(x) && abs(x) < 2^53) return(sprintf("%.0f", x))
  for (digits in 15:17) {
    text <- formatC(x, digits = digits, format = "g")
    if (as.numeric(text) == x) break
  }
  sub("^\\s+", "", text)
}

toml_scalar <- function(x, key) {
  if (is.na(x) && !is.nan(x)) abort_survseq("must not be NA", key)
  if (is.logical(x)) return(if (x) "true" else "false")
  if (is.character(x)) return(toml_string(x))
  if (is.factor(x)) return(toml_string(as.character(x)))
  if (is.numeric(x)) return(toml_number(as.numeric(x)))
  abort_survseq(paste0("cannot be written in a design: a value of class ", class(x)[1]), key)
}

# A named list, an empty one too: a table whose keys all keep their defaults
# ([[statistics]] for the log-rank statistic, [combination] for all statistics).
is_table <- function(x) {
  is.list(x) && !is.data.frame(x) && !is.null(names(x)) && all(nzchar(names(x)))
}

# A list of tables or a data frame: an array of tables.
table_rows <- function(x) {
  if (is.data.frame(x)) {
    return(lapply(seq_len(nrow(x)), function(i) as.list(x[i, , drop = FALSE])))
  }
  if (is.list(x) && is.null(names(x)) && length(x) > 0 && all(vapply(x, is_table, TRUE))) {
    return(x)
  }
  NULL
}

toml_value <- function(x, key, leaf) {
  if (is_table(x)) {
    inner <- mapply(function(k, v) paste0(toml_key(k), " = ", toml_value(v, paste0(key, ".", k), k)),
                    names(x), x, USE.NAMES = FALSE)
    return(paste0("{ ", paste(inner, collapse = ", "), " }"))
  }
  if (!is.null(rows <- table_rows(x))) {
    inner <- vapply(seq_along(rows), function(i) {
      toml_value(rows[[i]], sprintf("%s[%d]", key, i), leaf)
    }, "")
    return(paste0("[", paste(inner, collapse = ", "), "]"))
  }
  if (is.list(x)) {
    inner <- vapply(seq_along(x), function(i) toml_value(x[[i]], key, leaf), "")
    return(paste0("[", paste(inner, collapse = ", "), "]"))
  }
  if (!is.atomic(x)) abort_survseq(paste0("cannot be written in a design: a value of class ", class(x)[1]), key)
  if (length(x) == 1 && !inherits(x, "AsIs") && !(leaf %in% array_keys)) {
    return(toml_scalar(x, key))
  }
  items <- vapply(seq_along(x), function(i) toml_scalar(x[[i]], key), "")
  paste0("[", paste(items, collapse = ", "), "]")
}

toml_pairs <- function(x, prefix) {
  keep <- !vapply(x, is.null, TRUE)
  vapply(names(x)[keep], function(k) {
    paste0(toml_key(k), " = ", toml_value(x[[k]], paste0(prefix, k), k))
  }, "", USE.NAMES = FALSE)
}

# The keyed design text of `design`.
design_toml <- function(design) {
  design <- unclass(design)
  design <- design[!vapply(design, is.null, TRUE)]
  keys <- names(design)
  tables <- vapply(design, is_table, TRUE)
  arrays <- vapply(design, function(v) !is.null(table_rows(v)), TRUE)
  lines <- toml_pairs(design[!tables & !arrays], "")
  for (k in keys[tables]) {
    lines <- c(lines, "", paste0("[", toml_key(k), "]"), toml_pairs(design[[k]], paste0(k, ".")))
  }
  for (k in keys[arrays]) {
    rows <- table_rows(design[[k]])
    for (i in seq_along(rows)) {
      lines <- c(lines, "", paste0("[[", toml_key(k), "]]"),
                 toml_pairs(rows[[i]], sprintf("%s[%d].", k, i)))
    }
  }
  paste0(paste(lines, collapse = "\n"), "\n")
}
