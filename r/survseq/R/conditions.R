# The conditions of the package: errors of the engine and of the arguments as
# "survseq_error" ("survseq: key: message"), warnings as "survseq_warning", and the
# interrupt of a run as R's own "interrupt" condition.

# The name under which a design made in R reaches the keyed reader; the reader's place
# in that text ("<design>:3:1: ") means nothing to the user and is taken out.
design_name <- "<design>"

without_design_place <- function(text) {
  sub(paste0("^", design_name, ":[0-9]+:[0-9]+: "), "", text)
}

abort_survseq <- function(message, key = NULL) {
  text <- if (is.null(key)) message else paste0(key, ": ", message)
  cond <- structure(
    class = c("survseq_error", "error", "condition"),
    list(message = paste0("survseq: ", text), call = NULL, key = key)
  )
  stop(cond)
}

# Called by the compiled code with the engine's message.
signal_engine_error <- function(message) {
  text <- without_design_place(message)
  key <- if (grepl("^[A-Za-z_][A-Za-z0-9_.]*(\\[[0-9]+\\])?[A-Za-z0-9_.]*: ", text)) {
    sub(": .*$", "", text)
  }
  cond <- structure(
    class = c("survseq_error", "error", "condition"),
    list(message = paste0("survseq: ", text), call = NULL, key = key)
  )
  stop(cond)
}

# Called by the compiled code once the engine has stopped after an interrupt: the
# interrupt goes on as R's own would, to a handler or to the top level.
signal_interrupt <- function() {
  cond <- structure(class = c("interrupt", "condition"), list(message = "", call = NULL))
  signalCondition(cond)
  invokeRestart("abort")
}

# The engine's warning lines ("survseq: warning: place: text") as R warnings.
emit_engine_warnings <- function(text) {
  lines <- strsplit(text, "\n", fixed = TRUE)[[1]]
  for (line in lines[nzchar(lines)]) {
    line <- without_design_place(sub("^survseq: warning: ", "", line))
    warning(structure(
      class = c("survseq_warning", "warning", "condition"),
      list(message = paste0("survseq: ", line), call = NULL)
    ))
  }
}

# The engine's console lines as messages, but for the notice of the report file the design
# names: in R a report is written only where simulate_trials() is told to write it.
emit_console <- function(text) {
  lines <- strsplit(text, "\n", fixed = TRUE)[[1]]
  notice <- which(lines == " The output is stored in the file named below:")
  if (length(notice) > 0) lines <- lines[-c(notice, notice + 1)]
  if (length(lines) > 0) message(paste(lines, collapse = "\n"))
}
