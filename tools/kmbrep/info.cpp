// kmbrep info: what host files hold, per element, per file and in total, as
// text or as one JSON document (fields in docs/info-json.md).
#include "kmbrep/commands.h"

#include "app/sample_app.h"
#include "kmbrep/export_gltf.h"
#include "kmbrep/model_io.h"
#include "kmbrep/output_file.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <set>

namespace kmbrep {

namespace {

// The schema of `info --json`; raised only when a field changes meaning or
// goes away (new fields may appear without it).
constexpr int kInfoSchema = 1;

struct Box {
  double lo[3] = {std::numeric_limits<double>::max(), std::numeric_limits<double>::max(),
                  std::numeric_limits<double>::max()};
  double hi[3] = {-std::numeric_limits<double>::max(), -std::numeric_limits<double>::max(),
                  -std::numeric_limits<double>::max()};
  bool valid() const { return lo[0] <= hi[0]; }
  void add(const Box& b) {
    for (int k = 0; k < 3; ++k) {
      lo[k] = std::min(lo[k], b.lo[k]);
      hi[k] = std::max(hi[k], b.hi[k]);
    }
  }
};

// Counts of one element, one file or all files. Colours are the faces'
// colours as displayed (a face's own, else its body's, else none) and are
// kept as a set so that totals count each colour once.
struct Counts {
  long long elements = 0, parts = 0, faces = 0, edges = 0;
  std::set<ksample::Rgba> colors;
  Box box;
  void add(const Counts& c) {
    elements += c.elements;
    parts += c.parts;
    faces += c.faces;
    edges += c.edges;
    colors.insert(c.colors.begin(), c.colors.end());
    box.add(c.box);
  }
};

struct PartInfo {
  std::string kind;  // box, cylinder, sphere; "part" for Open CASCADE parts
  std::string name;  // the kernel's name for the part, where it keeps one
  int faces = 0, edges = 0;
  std::set<ksample::Rgba> colors;
};

struct ElementInfo {
  std::string kernelLabel, kernelId;
  Counts counts;
  int kernelMajor = -1, kernelMinor = -1;
  std::vector<PartInfo> parts;
};

struct FileInfo {
  std::string path;
  int formatMajor = 0, formatMinor = 0;
  bool trailer = false;  // files of older versions have none: their damage cannot be detected
  std::vector<ElementInfo> elements;
  Counts counts;
};

ElementInfo describe(const LoadedElement& loaded) {
  ElementInfo info;
  const MvKMBrep& e = *loaded.element;
  info.kernelMajor = loaded.kernelMajor;
  info.kernelMinor = loaded.kernelMinor;
  info.kernelLabel = kernelLabel();
  info.kernelId = kernelId();
  info.counts.elements = 1;
  for (int p = 0; p < e.kmPart().length(); ++p) {
    const int tag = e.kmPart()[p];
    PartInfo part{"unknown", "", 0, 0, {}};
    PartFacts facts;
    if (partFacts(tag, facts)) {
      part.kind = facts.kind.empty() ? "part" : facts.kind;
      part.name = facts.name;
      part.faces = std::max(0, facts.faces);
      part.edges = std::max(0, facts.edges);
      part.colors.insert(facts.faceColors.begin(), facts.faceColors.end());
      info.counts.colors.insert(facts.faceColors.begin(), facts.faceColors.end());
    }
    info.counts.parts += 1;
    info.counts.faces += part.faces;
    info.counts.edges += part.edges;
    info.parts.push_back(part);
  }
  MvBox3f box;
  if (e.kmPart().length() > 0 && e.getBBox(box)) {
    for (int k = 0; k < 3; ++k) {
      info.counts.box.lo[k] = box.getMin()[k];
      info.counts.box.hi[k] = box.getMax()[k];
    }
  }
  return info;
}

FileInfo describeFile(const std::string& path) {
  FileInfo file;
  file.path = path;
  // The elements first: a file that cannot be read is named with the reason.
  const std::vector<LoadedElement> loaded = readHostFile(path, "", &file.trailer);
  hostFileVersion(path, file.formatMajor, file.formatMinor);
  for (const LoadedElement& element : loaded) {
    file.elements.push_back(describe(element));
    file.counts.add(file.elements.back().counts);
  }
  return file;
}

std::string num(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", std::isfinite(v) ? v : 0.0);
  return text;
}

std::string plural(long long n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string version(int major, int minor) { return std::to_string(major) + "." + std::to_string(minor); }

// ---- text --------------------------------------------------------------------

// Colours as #rrggbb, "none" for faces without one.
std::string colorsText(const std::set<ksample::Rgba>& colors) {
  std::string text;
  for (const ksample::Rgba& c : colors) {
    char hex[8] = "none";
    if (c[3] >= 0.0f)
      std::snprintf(hex, sizeof hex, "#%02x%02x%02x", static_cast<int>(std::lround(c[0] * 255)),
                    static_cast<int>(std::lround(c[1] * 255)), static_cast<int>(std::lround(c[2] * 255)));
    text += (text.empty() ? "" : " ") + std::string(hex);
  }
  return text;
}

std::string countsText(const Counts& c) {
  return plural(c.elements, "element", "elements") + ", " + plural(c.parts, "part", "parts") + ", " +
         plural(c.faces, "face", "faces") + ", " + plural(c.edges, "edge", "edges") + ", " +
         plural(static_cast<long long>(c.colors.size()), "colour", "colours");
}

std::string boxText(const Box& b) {
  if (!b.valid()) return "no bounding box";
  return "bounding box (" + num(b.lo[0]) + ", " + num(b.lo[1]) + ", " + num(b.lo[2]) + ") to (" + num(b.hi[0]) + ", " +
         num(b.hi[1]) + ", " + num(b.hi[2]) + ")";
}

void printText(const std::vector<FileInfo>& files, const Counts& total, bool withParts) {
  for (const FileInfo& f : files) {
    std::printf("%s: host file format %s\n", f.path.c_str(), version(f.formatMajor, f.formatMinor).c_str());
    if (!f.trailer) std::printf("  no trailer (an older format): a cut or damaged file cannot be detected\n");
    for (size_t i = 0; i < f.elements.size(); ++i) {
      const ElementInfo& e = f.elements[i];
      std::printf("  element %zu: %s, %s, %s, %s; written by the %s kernel %s\n", i,
                  plural(e.counts.parts, "part", "parts").c_str(), plural(e.counts.faces, "face", "faces").c_str(),
                  plural(e.counts.edges, "edge", "edges").c_str(),
                  plural(static_cast<long long>(e.counts.colors.size()), "colour", "colours").c_str(),
                  e.kernelLabel.c_str(), version(e.kernelMajor, e.kernelMinor).c_str());
      if (!withParts) continue;
      for (size_t p = 0; p < e.parts.size(); ++p)
        std::printf("    part %zu: %s, %s, %s%s\n", p,
                    e.parts[p].name.empty() ? e.parts[p].kind.c_str() : ("'" + e.parts[p].name + "'").c_str(),
                    plural(e.parts[p].faces, "face", "faces").c_str(), plural(e.parts[p].edges, "edge", "edges").c_str(),
                    e.kernelId == "occt" ? (", colours " + colorsText(e.parts[p].colors)).c_str() : "");
    }
    std::printf("  in the file: %s\n  %s\n", countsText(f.counts).c_str(), boxText(f.counts.box).c_str());
  }
  if (files.size() > 1)
    std::printf("total: %s in %zu files\n  %s\n", countsText(total).c_str(), files.size(), boxText(total.box).c_str());
}

// ---- JSON --------------------------------------------------------------------

std::string boxJson(const Box& b) {
  if (!b.valid()) return "null";
  return "{\"min\": [" + num(b.lo[0]) + ", " + num(b.lo[1]) + ", " + num(b.lo[2]) + "], \"max\": [" + num(b.hi[0]) +
         ", " + num(b.hi[1]) + ", " + num(b.hi[2]) + "]}";
}

// The counts as JSON members; an element's own leave out "elements".
std::string countsJson(const Counts& c, const std::string& indent, bool withElements = true) {
  return (withElements ? indent + "\"elements\": " + std::to_string(c.elements) + ",\n" : std::string()) + indent +
         "\"parts\": " +
         std::to_string(c.parts) + ",\n" + indent + "\"faces\": " + std::to_string(c.faces) + ",\n" + indent +
         "\"edges\": " + std::to_string(c.edges) + ",\n" + indent + "\"colours\": " + std::to_string(c.colors.size()) +
         ",\n" + indent + "\"boundingBox\": " + boxJson(c.box);
}

void printJson(const std::vector<FileInfo>& files, const Counts& total, bool withParts) {
  std::string out = "{\n  \"schema\": " + std::to_string(kInfoSchema) + ",\n  \"files\": [";
  for (size_t i = 0; i < files.size(); ++i) {
    const FileInfo& f = files[i];
    out += std::string(i ? "," : "") + "\n    {\n      \"path\": " + jsonString(f.path) +
           ",\n      \"hostFileVersion\": " + jsonString(version(f.formatMajor, f.formatMinor)) +
           ",\n      \"trailer\": " + (f.trailer ? "true" : "false") + ",\n" +
           countsJson(f.counts, "      ") + ",\n      \"elementList\": [";
    for (size_t j = 0; j < f.elements.size(); ++j) {
      const ElementInfo& e = f.elements[j];
      out += std::string(j ? "," : "") + "\n        {\n          \"kernel\": " + jsonString(e.kernelId) + ",\n          \"kernelVersion\": " +
             jsonString(version(e.kernelMajor, e.kernelMinor)) + ",\n" + countsJson(e.counts, "          ", false);
      if (withParts) {
        out += ",\n          \"partList\": [";
        for (size_t p = 0; p < e.parts.size(); ++p)
          out += std::string(p ? ", " : "") + "{\"kind\": " + jsonString(e.parts[p].kind) +
                 ", \"name\": " + jsonString(e.parts[p].name) +
                 ", \"faces\": " + std::to_string(e.parts[p].faces) + ", \"edges\": " + std::to_string(e.parts[p].edges) +
                 "}";
        out += "]";
      }
      out += "\n        }";
    }
    out += std::string(f.elements.empty() ? "" : "\n      ") + "]\n    }";
  }
  out += "\n  ],\n  \"total\": {\n    \"files\": " + std::to_string(files.size()) + ",\n" + countsJson(total, "    ") +
         "\n  }\n}\n";
  std::fputs(out.c_str(), stdout);
}

}  // namespace

int runInfo(const Args& args) {
  std::vector<std::string> paths;
  bool json = false, withParts = false;
  for (const std::string& a : args) {
    if (a == "--json")
      json = true;
    else if (a == "--parts")
      withParts = true;
    else if (a.rfind("--", 0) == 0)
      throw UsageError{"unknown option '" + a + "'"};
    else
      paths.push_back(a);
  }
  if (paths.empty()) throw UsageError{"info takes one or more host files"};
  Session session(kernelOfFile(paths.front()));
  std::vector<FileInfo> files;
  Counts total;
  for (const std::string& path : paths) {
    files.push_back(describeFile(path));
    total.add(files.back().counts);
  }
  if (json)
    printJson(files, total, withParts);
  else
    printText(files, total, withParts);
  return 0;
}

}  // namespace kmbrep
