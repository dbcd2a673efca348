#pragma once

// The protocol table (protocol_table.h) as the file `--table FILE` asks for: Markdown
// for a name ending in ".md", comma-separated values for one ending in ".csv". The CSV file
// has one row per statistic and look, and two per statistic of the expected figures at
// the stop ("expected_alternative", "expected_null"), whose time, events and patients are
// the expected duration, events and patients enrolled.

#include <string>

#include "run/protocol_table.h"

namespace survseq::run {

enum class TableFormat { Markdown, Csv };

// The format a table file's name asks for; a RunError for any other name.
TableFormat tableFormatOfName(const std::string& path);

std::string protocolTableMarkdown(const ProtocolTable& table);
std::string protocolTableCsv(const ProtocolTable& table);

}  // namespace survseq::run
