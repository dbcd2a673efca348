#include "run/protocol_table_files.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "report/message_text.h"
#include "report/run_error.h"
#include "run/number_text.h"

namespace survseq::run {

namespace {

bool endsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string fixed(double value, int decimals) {
  if (std::isnan(value)) return "-";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  return buffer;
}

// A computed real as the CSV file writes it: the shortest text of its float; empty for none.
std::string csvNumber(double value) {
  return std::isnan(value) ? "" : shortestText(static_cast<float>(value));
}

bool anyFutility(const ProtocolStatistic& statistic) {
  return std::any_of(statistic.looks.begin(), statistic.looks.end(),
                     [](const ProtocolLook& look) { return look.hasFutilityBound; });
}

std::string markdownStatistic(const ProtocolStatistic& statistic) {
  const bool futility = anyFutility(statistic);
  std::string text = "\n## Statistic " + std::to_string(statistic.statistic) + " (rho " +
                     shortestText(statistic.rho) + ", tau " + shortestText(statistic.tau) +
                     ")\n\n| look | time | events | patients enrolled | information fraction | "
                     "efficacy Z | nominal p | efficacy bound as hazard ratio |";
  std::string rule = "|---:|---:|---:|---:|---:|---:|---:|---:|";
  if (futility) {
    text += " futility Z | futility bound as hazard ratio |";
    rule += "---:|---:|";
  }
  text += "\n" + rule + "\n";
  for (const ProtocolLook& look : statistic.looks) {
    text += "| " + std::to_string(look.look) + " | " + fixed(look.time, 3) + " | " +
            fixed(look.events, 1) + " | " + fixed(look.patients, 1) + " | " +
            fixed(look.informationFraction, 4) + " | " + fixed(look.efficacyZ, 4) + " | " +
            fixed(look.nominalP, 6) + " | " + fixed(look.efficacyHazardRatio, 4) + " |";
    if (futility) {
      text += look.hasFutilityBound ? " " + fixed(look.futilityZ, 4) + " | " +
                                          fixed(look.futilityHazardRatio, 4) + " |"
                                    : " - | - |";
    }
    text += "\n";
  }
  if (!statistic.hasExpectations) return text;
  const plan::StopExpectations& e = statistic.expected;
  text +=
      "\n| when the statistic stops | under the alternative | under the null |\n"
      "|---|---:|---:|\n";
  text += "| expected events | " + fixed(e.alternative.events, 1) + " | " +
          fixed(e.null.events, 1) + " |\n";
  text += "| expected duration | " + fixed(e.alternative.duration, 3) + " | " +
          fixed(e.null.duration, 3) + " |\n";
  text += "| expected patients enrolled | " + fixed(e.alternative.patients, 1) + " | " +
          fixed(e.null.patients, 1) + " |\n";
  return text;
}

}  // namespace

TableFormat tableFormatOfName(const std::string& path) {
  if (endsWith(path, ".md")) return TableFormat::Markdown;
  if (endsWith(path, ".csv")) return TableFormat::Csv;
  throw RunError("the table file '" + report::echoedValue(path) +
                 "' must end in .md (a Markdown table) or .csv (comma-separated values)");
}

std::string protocolTableMarkdown(const ProtocolTable& table) {
  std::string text = "# Planned looks\n\nAccrual rate " + fixed(table.accrualRate, 4) +
                     " patients per time unit, " + std::to_string(table.patients) +
                     " patients per trial. Times are in the time units of the design, from "
                     "the start of accrual.\n";
  for (const ProtocolStatistic& statistic : table.statistics) text += markdownStatistic(statistic);
  return text;
}

std::string protocolTableCsv(const ProtocolTable& table) {
  std::string csv =
      "statistic,rho,tau,row,time,events,patients,information_fraction,efficacy_z,nominal_p,"
      "efficacy_hazard_ratio,futility_z,futility_hazard_ratio\n";
  for (const ProtocolStatistic& statistic : table.statistics) {
    const std::string head = std::to_string(statistic.statistic) + "," +
                             shortestText(statistic.rho) + "," + shortestText(statistic.tau) + ",";
    for (const ProtocolLook& look : statistic.looks) {
      csv += head + std::to_string(look.look) + "," + csvNumber(look.time) + "," +
             csvNumber(look.events) + "," + csvNumber(look.patients) + "," +
             shortestText(look.informationFraction) + "," + shortestText(look.efficacyZ) + "," +
             shortestText(look.nominalP) + "," + csvNumber(look.efficacyHazardRatio) + "," +
             (look.hasFutilityBound ? shortestText(look.futilityZ) : "") + "," +
             csvNumber(look.futilityHazardRatio) + "\n";
    }
    if (!statistic.hasExpectations) continue;
    for (const auto& [name, e] : {std::pair{"expected_alternative", statistic.expected.alternative},
                                  std::pair{"expected_null", statistic.expected.null}}) {
      csv += head + name + "," + csvNumber(e.duration) + "," + csvNumber(e.events) + "," +
             csvNumber(e.patients) + ",,,,,,\n";
    }
  }
  return csv;
}

}  // namespace survseq::run
