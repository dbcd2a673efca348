#include "input/keyed_design_writer.h"

#include <cmath>
#include <cstdio>
#include <ostream>
#include <string>

#include "report/message_text.h"

namespace survseq::input {

namespace {

// The shortest decimal that reads back as the same float, always as a TOML float.
std::string real(float value) {
  std::string text = report::numberText(value);
  if (text.find_first_of(".e") == std::string::npos) text += ".0";
  return text;
}

template <typename Values>
std::string reals(const Values& values, int32_t first, int32_t last) {
  std::string text = "[";
  for (int32_t i = first; i <= last; ++i) {
    if (i > first) text += ", ";
    text += real(values[static_cast<size_t>(i)]);
  }
  return text + "]";
}

// Well-formed UTF-8: the only text a TOML string holds.
bool isUtf8(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xe ? 3
                                          : (lead >> 3) == 0x1e ? 4 : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (size_t j = 1; j < length; ++j) {
      if ((static_cast<unsigned char>(text[i + j]) >> 6) != 0x2) return false;
    }
    i += length;
  }
  return true;
}

// A TOML basic string holding `text`.
std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == '"' || byte == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte == 0x7f) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", byte);
      out += escape;
    } else {
      out += c;
    }
  }
  return out + '"';
}

// The error share whose float sum with the alpha spent before gives the running sum
// after it, as the reader accumulates them; of the few floats around the difference that
// do, the one with the shortest text (0.03 rather than 0.029999997).
float shareGiving(float before, float after) {
  const float difference = static_cast<float>(double(after) - double(before));
  float best = difference;
  float candidate = difference;
  for (int i = 0; i < 4; ++i) candidate = std::nextafter(candidate, -INFINITY);
  for (int step = 0; step <= 8; ++step, candidate = std::nextafter(candidate, INFINITY)) {
    if (candidate + before != after) continue;
    if (best + before != after || real(candidate).size() < real(best).size()) best = candidate;
  }
  return best;
}

class KeyedWriter {
 public:
  KeyedWriter(std::ostream& out, std::ostream& warnings) : out_(out), warnings_(warnings) {}

  void table(const char* header, const char* comment) {
    out_ << "\n# " << comment << "\n[" << header << "]\n";
  }
  void key(const char* name, const std::string& value, const char* comment) {
    out_ << "# " << comment << "\n" << name << " = " << value << "\n";
  }
  void warn(const std::string& text) { warnings_ << "survseq: warning: " << text << '\n'; }

 private:
  std::ostream& out_;
  std::ostream& warnings_;
};

void writeCurve(KeyedWriter& w, const char* header, const char* comment, const SurvivalCurve& c) {
  w.table(header, comment);
  w.key("times", reals(c.x, 1, c.count), "right ends of the intervals (after time 0)");
  w.key("survival", reals(c.s, 1, c.count), "survival at those times");
}

void writeBoundary(KeyedWriter& w, const DesignParameters& d) {
  static const char* const kMethodNames[] = {"error_split", "lan_demets", "haybittle",
                                             "given_critical_values"};
  w.table("boundary", "How the critical values are found");
  w.key("method", std::string("\"") + kMethodNames[d.boundaryMethod - 1] + "\"",
        "error_split, lan_demets, haybittle or given_critical_values");
  const int32_t K = d.analysisCount;
  switch (d.boundaryMethod) {
    case ErrorSplit: {
      std::string shares = "[";
      for (int32_t k = 1; k <= K; ++k) {
        const float before = d.errorSplit[static_cast<size_t>(k - 1)];
        const float after = d.errorSplit[static_cast<size_t>(k)];
        shares += (k > 1 ? ", " : "") + real(shareGiving(before, after));
      }
      w.key("error_shares", shares + "]", "alpha spent at each look; they add up to type_one_error");
      if (std::fabs(d.errorSplit[static_cast<size_t>(K)] - d.typeIError) > 1e-6f) {
        w.warn("the error shares add up to " + report::numberText(d.errorSplit[K]) +
               ", not to the type-I error " + report::numberText(d.typeIError) +
               "; the keyed file refuses that");
      }
      break;
    }
    case Haybittle:
      w.key("b", real(d.haybittleB), "critical value of the interim looks (above 1)");
      if (!(d.haybittleBInput > 1.0f)) {
        w.warn("Haybittle b was read as " + report::numberText(d.haybittleBInput) +
               " and replaced by 3; the keyed file holds 3, and a report that shows b as read "
               "shows 3");
      }
      break;
    case GivenBoundaries:
      w.key("critical_values", reals(d.boundaryValues, 1, K), "critical value of each look");
      break;
    default: {
      static const char* const kUseFunctions[] = {"obrien_fleming", "pocock", "linear"};
      const bool coded = d.useFunction >= OBrienFleming && d.useFunction <= Linear;
      w.key("use_function",
            std::string("\"") + (coded ? kUseFunctions[d.useFunction - 1] : "b_parameter") + "\"",
            "obrien_fleming, pocock, linear or b_parameter");
      if (!coded) w.key("b", real(d.haybittleB), "parameter b of the use function (above 1)");
      break;
    }
  }
}

void writeAlternative(KeyedWriter& w, const DesignParameters& d) {
  if (!hazardRatiosGiven(d)) {
    writeCurve(w, "alternative", "Survival of the treatment arm", d.alternativeCurve);
    return;
  }
  w.table("alternative", "Hazard ratio treatment/control on intervals (1 beyond the last)");
  w.key("interval_ends", reals(d.hazardRatioCuts, 1, d.hazardRatioCount),
        "right ends of the intervals");
  w.key("hazard_ratios", reals(d.hazardRatios, 1, d.hazardRatioCount), "ratio on each interval");
}

void writeDropPoints(KeyedWriter& w, const char* header, const char* comment, int32_t count,
                     const DropPointValues& times, const DropPointValues& rates) {
  if (count == 1 && times[1] == 0.0f && rates[1] == 0.0f && !std::signbit(times[1]) &&
      !std::signbit(rates[1])) {
    return;  // the default: nobody switches
  }
  w.table(header, comment);
  w.key("times", reals(times, 1, count), "times at which patients switch");
  w.key("rates", reals(rates, 1, count), "probability of switching at each time");
  for (int32_t i = 1; i <= count; ++i) {
    if (times[i] < 0.0f || (i > 1 && times[i] < times[i - 1]) || !(rates[i] >= 0.0f) ||
        rates[i] > 1.0f) {
      w.warn(std::string("[") + header + "] has a time out of order or a rate outside [0, 1]; "
             "the keyed file refuses that");
      return;
    }
  }
}

bool isNoLoss(const SurvivalCurve& curve) {
  return curve.count == 1 && curve.x[1] == 1.0f && curve.s[1] == 1.0f;
}

}  // namespace

void writeKeyedDesign(const DesignParameters& d, std::ostream& out, std::ostream& warnings) {
  KeyedWriter w(out, warnings);
  out << "# survseq design (keyed file; every key is described in docs/design-file.md)\n\n";
  if (!isUtf8(d.outputFileName)) {
    w.warn("the report file name is not UTF-8 text, which a keyed file cannot hold");
  }
  w.key("report_file", quoted(d.outputFileName), "name of the report file");
  w.key("seed", std::to_string(d.seed), "seed of the random stream");
  w.key("analysis_times", reals(d.analysisTimes, 1, d.analysisCount),
        "calendar times of the analyses, the last one final");
  w.key("simulations_per_iteration", std::to_string(d.simulationCount),
        "simulated trials in each iteration of the search");
  w.key("type_one_error", real(d.typeIError), "overall alpha");
  w.key("sides", std::to_string(d.sides), "1 = one-sided test, 2 = two-sided");
  w.key("desired_power", real(d.desiredPower), "power of statistic 1 that the search aims at");
  w.key("planned_information", "\"original\"",
        "boundaries on the null variance, as planned here; \"alternative\" plans as protocols do");
  if (!(d.typeIError < 1.0f)) w.warn("the type-I error is 1 or more; the keyed file refuses that");

  for (int32_t s = 1; s <= d.statisticCount; ++s) {
    out << "\n# Statistic " << s << ": weighted log-rank, weight S^rho (1-S)^tau"
        << (s == 1 ? "; the first sizes the trial" : "") << "\n[[statistics]]\n";
    out << "rho = " << real(d.rho[s]) << "\ntau = " << real(d.tau[s]) << "\n";
    if (d.rho[s] < 0.0f || d.tau[s] < 0.0f) {
      w.warn("statistic " + std::to_string(s) + " has a negative rho or tau; the keyed file "
             "refuses that");
    }
  }
  writeBoundary(w, d);
  w.table("accrual", "Accrual period and the bracket of the rate (patients per time unit)");
  w.key("period", real(d.accrualPeriod), "accrual period");
  w.key("rate_lower", real(d.accrualRateLower), "lowest rate the search may try");
  w.key("rate_upper", real(d.accrualRateUpper), "highest rate, where the search starts");

  writeCurve(w, "baseline_survival", "Survival of the control arm", d.baselineCurve);
  writeAlternative(w, d);
  if (!isNoLoss(d.censoringControl)) {
    writeCurve(w, "censoring_control", "Loss to follow-up, control arm", d.censoringControl);
  }
  if (!isNoLoss(d.censoringTreatment)) {
    writeCurve(w, "censoring_treatment", "Loss to follow-up, treatment arm",
               d.censoringTreatment);
  }
  writeDropPoints(w, "drop_in", "Control patients switching to the treatment's survival",
                  d.dropInCount, d.dropInTimes, d.dropInRates);
  writeDropPoints(w, "drop_out", "Treatment patients switching to the control survival",
                  d.dropOutCount, d.dropOutTimes, d.dropOutRates);
}

}  // namespace survseq::input
