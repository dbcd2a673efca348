#include "run/svg_canvas.h"

#include <cmath>
#include <cstdio>

namespace survseq::run {

namespace {

// 1, 2 or 5 times a power of ten, the smallest not below `rough`.
double roundStep(double rough) {
  const double magnitude = std::pow(10.0, std::floor(std::log10(rough)));
  for (double factor : {1.0, 2.0, 5.0}) {
    if (factor * magnitude >= rough * (1.0 - 1e-9)) return factor * magnitude;
  }
  return 10.0 * magnitude;
}

}  // namespace

Axis roundAxis(double low, double high, double pixelLow, double pixelHigh, int tickCount) {
  if (!(high > low)) {
    const double step = low != 0.0 ? roundStep(std::fabs(low) / 2.0) : 1.0;
    low -= step;
    high += step;
  }
  const double step = roundStep((high - low) / tickCount);
  Axis axis;
  axis.low = std::floor(low / step + 1e-9) * step;
  axis.high = std::ceil(high / step - 1e-9) * step;
  axis.pixelLow = pixelLow;
  axis.pixelHigh = pixelHigh;
  const auto count = static_cast<int>(std::lround((axis.high - axis.low) / step));
  for (int i = 0; i <= count; ++i) axis.ticks.push_back(axis.low + i * step);
  return axis;
}

std::string tickLabel(double value, double step) {
  const int decimals = step >= 1.0 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals,
                std::fabs(value) < step * 1e-6 ? 0.0 : value);
  return buffer;
}

std::string px(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.1f", value);
  return buffer;
}

std::string xmlEscaped(std::string_view text) {
  std::string escaped;
  for (char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

SvgCanvas::SvgCanvas(int width, int height, std::string_view title) {
  const std::string w = std::to_string(width);
  const std::string h = std::to_string(height);
  svg_ = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  startTag("svg", {{"xmlns", "http://www.w3.org/2000/svg"},
                   {"width", w},
                   {"height", h},
                   {"viewBox", "0 0 " + w + " " + h},
                   {"font-family", "DejaVu Sans, Arial, Helvetica, sans-serif"},
                   {"font-size", "12"}});
  svg_ += ">\n<title>" + xmlEscaped(title) + "</title>\n";
  element("rect", {{"width", w}, {"height", h}, {"fill", "white"}});
}

void SvgCanvas::startTag(std::string_view tag, Attributes attributes) {
  svg_ += '<';
  svg_ += tag;
  appendAttributes(attributes);
}

void SvgCanvas::appendAttributes(Attributes attributes) {
  for (const auto& [name, value] : attributes) {
    svg_ += ' ';
    svg_ += name;
    svg_ += "=\"" + xmlEscaped(value) + '"';
  }
}

void SvgCanvas::open(std::string_view tag, Attributes attributes) {
  startTag(tag, attributes);
  svg_ += ">\n";
}

void SvgCanvas::close(std::string_view tag) {
  svg_ += "</";
  svg_ += tag;
  svg_ += ">\n";
}

void SvgCanvas::element(std::string_view tag, Attributes attributes) {
  startTag(tag, attributes);
  svg_ += "/>\n";
}

void SvgCanvas::text(double x, double y, std::string_view content, Attributes attributes) {
  startTag("text", {{"x", px(x)}, {"y", px(y)}});
  appendAttributes(attributes);
  svg_ += '>' + xmlEscaped(content) + "</text>\n";
}

void SvgCanvas::line(double x1, double y1, double x2, double y2, std::string_view stroke,
                     Attributes more) {
  startTag("line", {{"x1", px(x1)},
                    {"y1", px(y1)},
                    {"x2", px(x2)},
                    {"y2", px(y2)},
                    {"stroke", std::string(stroke)}});
  appendAttributes(more);
  svg_ += "/>\n";
}

std::string SvgCanvas::finish() {
  close("svg");
  return std::move(svg_);
}

}  // namespace survseq::run
