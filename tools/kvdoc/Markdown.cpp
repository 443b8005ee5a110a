// The reference as Markdown: one heading per class, enumeration and event
// type (so each has an anchor), tables of properties, events, methods and
// values. Type names that have a heading of their own become links.
#include <algorithm>
#include <cctype>
#include <set>
#include <sstream>

#include "Reference.h"
#include "korvane3d/Version.h"

namespace kvdoc {

namespace {

class Writer {
 public:
  explicit Writer(const Reference& ref) : ref_(ref) {
    for (const auto* group : {&ref.components, &ref.bases, &ref.propertyObjects, &ref.formClasses, &ref.helpers,
                              &ref.enumerations, &ref.eventTypes}) {
      for (const Section& s : *group) anchors_.insert(s.name);
    }
  }

  std::string Write();

 private:
  static std::string Anchor(const std::string& name) {
    std::string anchor;
    for (char c : name) anchor += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return anchor;
  }
  static std::string Cell(std::string text) {
    std::string out;
    for (char c : text) {
      if (c == '|') out += '\\';
      out += c;
    }
    return out;
  }
  // Each word of a type that names a heading becomes a link to it.
  std::string Linked(const std::string& type) const {
    std::string out, word;
    auto flush = [&] {
      if (anchors_.count(word) != 0) {
        out += "[" + word + "](#" + Anchor(word) + ")";
      } else {
        out += word;
      }
      word.clear();
    };
    for (char c : type) {
      if (std::isalnum(static_cast<unsigned char>(c)) || c == '_') {
        word += c;
      } else {
        flush();
        out += c;
      }
    }
    flush();
    return out;
  }

  void Group(const char* title, const char* intro, const std::vector<Section>& sections);
  void ClassBody(const Section& s);
  void Enumeration(const Section& s);
  void EventTypes();
  void Functions();
  void Contents();

  const Reference& ref_;
  std::set<std::string> anchors_;
  std::ostringstream out_;
};

void Writer::ClassBody(const Section& s) {
  out_ << "### " << s.name << "\n\n" << s.text << "\n\n";
  if (!s.parent.empty()) out_ << "Derives from " << Linked(s.parent) << ".\n\n";
  if (!s.properties.empty()) {
    out_ << "| Property | Type | Default | Meaning |\n|---|---|---|---|\n";
    for (const Row& r : s.properties) {
      out_ << "| `" << r.name << "` | " << Linked(r.type) << " | " << Cell(r.value.empty() ? "—" : r.value) << " | "
           << Cell(r.text) << " |\n";
    }
    out_ << "\n";
  }
  if (!s.events.empty()) {
    out_ << "| Event | Type and parameters | Meaning |\n|---|---|---|\n";
    for (const Row& r : s.events) {
      out_ << "| `" << r.name << "` | " << Linked(r.type) << " " << Cell(r.value) << " | " << Cell(r.text) << " |\n";
    }
    out_ << "\n";
  }
  if (!s.methods.empty()) {
    out_ << "| Method | Meaning |\n|---|---|\n";
    for (const Row& r : s.methods) out_ << "| `" << Cell(r.name) << "` | " << Cell(r.text) << " |\n";
    out_ << "\n";
  }
}

void Writer::Group(const char* title, const char* intro, const std::vector<Section>& sections) {
  out_ << "## " << title << "\n\n" << intro << "\n\n";
  for (const Section& s : sections) ClassBody(s);
}

void Writer::Enumeration(const Section& s) {
  out_ << "### " << s.name << "\n\n" << s.text << "\n\n";
  const bool described = std::any_of(s.properties.begin(), s.properties.end(), [](const Row& r) { return !r.text.empty(); });
  if (described) {
    out_ << "| Value | Ordinal | Meaning |\n|---|---|---|\n";
    for (const Row& r : s.properties) out_ << "| `" << r.name << "` | " << r.value << " | " << Cell(r.text) << " |\n";
  } else {
    std::string values;
    for (const Row& r : s.properties) values += (values.empty() ? "" : ", ") + ("`" + r.name + "` (" + r.value + ")");
    out_ << "Values: " << values << ".\n";
  }
  out_ << "\n";
}

void Writer::EventTypes() {
  out_ << "## Event types\n\n"
          "An event's handler is a callable returning nothing that takes these parameters in this order; "
          "`Sender` is the component that fires the event.\n\n";
  for (const Section& s : ref_.eventTypes) {
    out_ << "### " << s.name << "\n\n| Parameter | Type |\n|---|---|\n";
    for (const Row& r : s.properties) out_ << "| `" << r.name << "` | " << Linked(r.type) << " |\n";
    out_ << "\n";
  }
}

void Writer::Functions() {
  out_ << "## Functions\n\nFree functions of the package, in namespace `kv`.\n\n| Function | Meaning |\n|---|---|\n";
  for (const Row& r : ref_.functions) out_ << "| `" << Cell(r.name) << "` | " << Cell(r.text) << " |\n";
  out_ << "\n";
}

void Writer::Contents() {
  auto list = [&](const char* title, const std::vector<Section>& sections) {
    out_ << "- " << title << ":";
    const char* separator = " ";
    for (const Section& s : sections) {
      out_ << separator << "[" << s.name << "](#" << Anchor(s.name) << ")";
      separator = ", ";
    }
    out_ << "\n";
  };
  list("Components", ref_.components);
  list("Base classes", ref_.bases);
  list("Property objects", ref_.propertyObjects);
  list("Form classes", ref_.formClasses);
  list("Other classes", ref_.helpers);
  list("Enumerations", ref_.enumerations);
  list("Event types", ref_.eventTypes);
  out_ << "- [Functions](#functions)\n\n";
}

std::string Writer::Write() {
  out_ << "# Component reference\n\n"
          "<!-- Generated by kvdoc from the published-property tables and tools/kvdoc/; do not edit.\n"
          "     Regenerate: cmake --build build --target reference -->\n\n"
          "Every published property, event and enumeration of Korvane 3D "
       << KORVANE3D_VERSION
       << ", with the public methods an application calls. Everything is in namespace `kv` and comes "
          "with `#include <korvane3d/Korvane3D.h>`.\n\n"
          "A property's *Default* is the value a new component starts with, written as a form file "
          "writes it ([form-files.md](form-files.md)); a property object used by several components "
          "lists where its start differs. A form file stores a property only when it differs from "
          "its default. Angles are in degrees; colours are `TColor` values (red in the low byte).\n\n";
  Contents();
  Group("Components", "The components of the palette page \"Korvane\", in palette order.", ref_.components);
  Group("Base classes",
        "Classes the components derive from; their methods work on every component derived from them.", ref_.bases);
  Group("Property objects",
        "Objects a component owns and publishes as one property; a form file sets their properties with dotted "
        "names (`Mesh.Sphere.Edges = 20`). Assigning a property object copies its values.",
        ref_.propertyObjects);
  Group("Form classes", "Classes of the framework that a form file may hold besides the components.",
        ref_.formClasses);
  Group("Other classes", "Classes that application code meets beside the components.", ref_.helpers);
  out_ << "## Enumerations\n\nA form file writes an enumeration value by its name and a set as `[a, b]`; "
          "the ordinal is the value's number.\n\n";
  for (const Section& s : ref_.enumerations) Enumeration(s);
  EventTypes();
  Functions();
  std::string text = out_.str();
  // One newline at the end, none doubled there.
  while (text.size() > 1 && text[text.size() - 1] == '\n' && text[text.size() - 2] == '\n') text.pop_back();
  return text;
}

}  // namespace

std::string WriteMarkdown(const Reference& reference) { return Writer(reference).Write(); }

}  // namespace kvdoc
