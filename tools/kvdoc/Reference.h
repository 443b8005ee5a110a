// kvdoc's model of the component reference: what the published-property
// tables say of each class, joined with the texts of Descriptions.cpp, and
// the check that every published name has a text and every text a name.
#pragma once

#include <string>
#include <vector>

namespace kvdoc {

// One line of a table: a property, an event, a method, an enumeration
// value or a function.
struct Row {
  std::string name;
  std::string type;   // property or event type; method or function signature
  std::string value;  // default of a property as a form writes it; ordinal of a value
  std::string text;
};

struct Section {
  std::string name;
  std::string parent;  // the class it derives from (classes only)
  std::string text;
  std::vector<Row> properties;
  std::vector<Row> events;
  std::vector<Row> methods;
};

struct Reference {
  std::vector<Section> components;      // on the palette, in palette order
  std::vector<Section> bases;           // base classes whose methods the components share
  std::vector<Section> propertyObjects; // in the order the components reach them
  std::vector<Section> formClasses;     // the framework's classes a form may hold
  std::vector<Section> helpers;         // other classes application code meets
  std::vector<Section> enumerations;    // by name; Row::value is the ordinal
  std::vector<Section> eventTypes;      // by name; Row per parameter (name, type)
  std::vector<Row> functions;
  // Every published name without a text, and every text without a name.
  std::vector<std::string> problems;
};

// Reads the tables of the package's classes (creating one instance of each
// to read its initial values) and joins them with the descriptions.
Reference BuildReference();

// The reference as Markdown.
std::string WriteMarkdown(const Reference& reference);

}  // namespace kvdoc
