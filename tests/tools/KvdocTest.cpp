// kvdoc's reference against the property tables it is made from: every
// published property and event of every palette component and of every
// property object they publish has a row with a text, every enumeration a
// section with all its values, and every link of the Markdown a heading.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>
#include <string>

#include "Reference.h"
#include "korvane3d/Korvane3D.h"
#include "korvane3d/host/Registry.h"

namespace {

using kvdoc::Reference;
using kvdoc::Row;
using kvdoc::Section;

class KvdocTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { reference_ = new Reference(kvdoc::BuildReference()); }
  static void TearDownTestSuite() {
    delete reference_;
    reference_ = nullptr;
  }

  static const Section* Find(const std::vector<Section>& sections, const std::string& name) {
    auto it = std::find_if(sections.begin(), sections.end(), [&](const Section& s) { return s.name == name; });
    return it == sections.end() ? nullptr : &*it;
  }
  static const Row* FindRow(const std::vector<Row>& rows, const std::string& name) {
    auto it = std::find_if(rows.begin(), rows.end(), [&](const Row& r) { return r.name == name; });
    return it == rows.end() ? nullptr : &*it;
  }

  // Checks one class's section against its table, then the classes of its
  // property objects.
  void ExpectClassCovered(const Section& section, const kv::TClassInfo& cls, std::set<std::string>& seen) {
    for (const kv::PropInfo& p : cls.Properties()) {
      const bool event = p.kind == kv::PropKind::Event;
      const Row* row = FindRow(event ? section.events : section.properties, p.name);
      ASSERT_NE(row, nullptr) << cls.Name() << "." << p.name << " has no row";
      EXPECT_FALSE(row->text.empty()) << cls.Name() << "." << p.name;
      if (event) {
        EXPECT_NE(row->value.find("Sender"), std::string::npos) << cls.Name() << "." << p.name;
      }
      if (p.enumInfo != nullptr) ExpectEnumerationCovered(*p.enumInfo);
      if (p.kind == kv::PropKind::Object && seen.insert(p.classOf().Name()).second) {
        const Section* sub = Find(reference_->propertyObjects, p.classOf().Name());
        ASSERT_NE(sub, nullptr) << "no section for the property object " << p.classOf().Name();
        ExpectClassCovered(*sub, p.classOf(), seen);
      }
    }
  }

  void ExpectEnumerationCovered(const kv::EnumInfo& info) {
    const Section* section = Find(reference_->enumerations, info.typeName);
    ASSERT_NE(section, nullptr) << "no section for " << info.typeName;
    EXPECT_FALSE(section->text.empty());
    ASSERT_EQ(section->properties.size(), info.names.size()) << info.typeName;
    for (std::size_t i = 0; i < info.names.size(); ++i) {
      EXPECT_EQ(section->properties[i].name, info.names[i]);
      EXPECT_EQ(section->properties[i].value, std::to_string(i));
    }
  }

  static Reference* reference_;
};

Reference* KvdocTest::reference_ = nullptr;

TEST_F(KvdocTest, EveryDescriptionIsThereAndNamesSomething) {
  for (const std::string& problem : reference_->problems) ADD_FAILURE() << problem;
}

TEST_F(KvdocTest, EveryPublishedPropertyEventAndEnumerationOfThePaletteIsListed) {
  const std::vector<const kv::TClassInfo*> palette = kv::PaletteClasses(kv::kPalettePage);
  ASSERT_EQ(palette.size(), reference_->components.size());
  std::set<std::string> seen;
  for (std::size_t i = 0; i < palette.size(); ++i) {
    const Section& section = reference_->components[i];
    EXPECT_EQ(section.name, palette[i]->Name()) << "components in palette order";
    EXPECT_FALSE(section.text.empty());
    ExpectClassCovered(section, *palette[i], seen);
  }
  EXPECT_EQ(seen.size(), reference_->propertyObjects.size()) << "a property object no component publishes";
}

TEST_F(KvdocTest, DefaultsAreWhatANewComponentShows) {
  const Section* camera = Find(reference_->components, "TKV3DCamera");
  const Section* position = Find(reference_->propertyObjects, "TKV3DPosition");
  const Section* light = Find(reference_->components, "TKV3DLight");
  ASSERT_TRUE(camera && position && light);
  // The camera starts 10 units back: its position differs from every other frame's.
  const Row* z = FindRow(position->properties, "Z");
  ASSERT_NE(z, nullptr);
  EXPECT_EQ(z->value, "`0.0`; `-10.0` in TKV3DCamera.Position");
  const Row* umbra = FindRow(light->properties, "SpotUmbraAngle");
  ASSERT_NE(umbra, nullptr);
  EXPECT_EQ(umbra->value, "`25.0`");
  EXPECT_EQ(FindRow(light->properties, "Color")->value, "`clWhite`");
}

TEST_F(KvdocTest, EveryLinkOfTheMarkdownHasAHeading) {
  const std::string text = kvdoc::WriteMarkdown(*reference_);
  std::set<std::string> anchors;
  const std::regex heading(R"(\n#{2,3} ([A-Za-z0-9_]+)\n)");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), heading); it != std::sregex_iterator(); ++it) {
    std::string anchor = (*it)[1];
    std::transform(anchor.begin(), anchor.end(), anchor.begin(), [](unsigned char c) { return std::tolower(c); });
    EXPECT_TRUE(anchors.insert(anchor).second) << "two headings " << anchor;
  }
  const std::regex link(R"(\]\(#([a-z0-9_-]+)\))");
  int links = 0;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), link); it != std::sregex_iterator(); ++it, ++links) {
    EXPECT_EQ(anchors.count((*it)[1]), 1u) << "link to a missing heading #" << (*it)[1];
  }
  EXPECT_GT(links, 100);
  EXPECT_EQ(text.back(), '\n');
  EXPECT_NE(text.substr(text.size() - 2), "\n\n");
}

}  // namespace
