#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/exception.h"
#include "framework/form_classes.h"
#include "framework/form_reader.h"
#include "framework/form_writer.h"
#include "framework/string_list.h"

namespace framework {
namespace {

std::vector<std::string> g_log;

// A component with one property of each kind, logging what happens to it while it is read.
class TBox : public TComponent {
 public:
  explicit TBox(TComponent* owner) : TComponent(owner) {}
  ~TBox() override { g_log.push_back("destroy " + Name()); }
  std::string ClassName() const override { return "TBox"; }

  bool Active() const { return active_; }
  void SetActive(bool v) {
    g_log.push_back(Name() + ".Active loading=" + std::to_string(HasState(csLoading)) +
                    " reading=" + std::to_string(HasState(csReading)));
    active_ = v;
  }
  int Count() const { return count_; }
  void SetCount(int v) {
    if (v < 0) throw EDatabaseError("negative count");
    count_ = v;
  }
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& v) { caption_ = v; }
  const TStringList& Lines() const { return lines_; }
  void SetLines(const TStringList& v) { lines_ = v; }
  TBox* Peer() const { return peer_; }
  void SetPeer(TBox* p) {
    g_log.push_back(Name() + ".Peer := " + (p ? p->Name() : "nil"));
    peer_ = p;
  }
  std::string Computed() const { return "always " + Name(); }
  void SetComputed(const std::string&) {}  // read and ignored

  void Loaded() override {
    g_log.push_back("loaded " + Name() + " reading=" + std::to_string(HasState(csReading)));
    TComponent::Loaded();
    if (caption_ == "fail when loaded") throw EDatabaseError("Loaded failed for " + Name());
  }

 private:
  bool active_ = false;
  int count_ = 7;
  std::string caption_;
  TStringList lines_;
  TBox* peer_ = nullptr;
};

void RegisterBox() {
  TClassRegistrar<TBox>("TBox", "TComponent")
      .Creatable()
      .Boolean("Active", &TBox::Active, &TBox::SetActive, false)
      .Integer("Count", &TBox::Count, &TBox::SetCount, 7)
      .String("Caption", &TBox::Caption, &TBox::SetCaption)
      .Strings("Lines.Strings", &TBox::Lines, &TBox::SetLines)
      .Reference<TBox>("Peer", &TBox::Peer, &TBox::SetPeer)
      .String("Computed", &TBox::Computed, &TBox::SetComputed, std::nullopt)
      .Commit();
}

class FormStream : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterBox();
    g_log.clear();
  }
};

const char kForm[] =
    "object Root: TBox\n"
    "  Caption = 'It''s '#13#10'two' +\n"
    "    ' lines'\n"
    "  object First: TBox\n"
    "    Peer = Second   // refers forward\n"
    "    Active = True\n"
    "    Count = $10\n"
    "    Lines.Strings = (\n"
    "      'select *'\n"
    "      'from x')\n"
    "    Computed = 'ignored'\n"
    "  end\n"
    "  object Second: TBox\n"
    "    Count = 0\n"
    "  end\n"
    "end\n";

TEST_F(FormStream, ReadsPropertiesResolvesReferencesLateAndCallsLoadedLast) {
  TBox root(nullptr);
  ReadComponentText(kForm, &root);
  EXPECT_EQ("Root", root.Name());
  EXPECT_EQ("It's \r\ntwo lines", root.Caption());
  auto* first = dynamic_cast<TBox*>(root.FindComponent("First"));
  auto* second = dynamic_cast<TBox*>(root.FindComponent("Second"));
  ASSERT_NE(nullptr, first);
  ASSERT_NE(nullptr, second);
  EXPECT_TRUE(first->Active());
  EXPECT_EQ(16, first->Count());
  EXPECT_EQ("select *\nfrom x\n", first->Lines().Text());
  EXPECT_EQ(second, first->Peer());
  EXPECT_EQ(0, second->Count());
  EXPECT_EQ((std::vector<std::string>{"First.Active loading=1 reading=1", "First.Peer := Second",
                                      "loaded First reading=0", "loaded Second reading=0",
                                      "loaded Root reading=0"}),
            g_log);
  EXPECT_FALSE(root.HasState(csLoading));
  EXPECT_FALSE(first->HasState(csLoading));
}

TEST_F(FormStream, WriteThenReadGivesTheSameComponents) {
  TBox root(nullptr);
  root.SetName("Root");
  root.SetCaption("quote ' and\ttab, Umlaut ü");
  auto* a = new TBox(&root);
  a->SetName("A");
  a->SetCount(0);
  TStringList lines;
  lines.Add("one");
  lines.Add("");
  a->SetLines(lines);
  auto* b = new TBox(&root);
  b->SetName("B");
  b->SetPeer(a);
  a->SetPeer(b);
  const std::string text = WriteComponentText(root);
  // Defaults are not written; Computed has no default and always is.
  EXPECT_EQ(std::string::npos, text.find("Active"));
  EXPECT_NE(std::string::npos, text.find("Computed = 'always A'"));

  TComponent* copy = CreateComponentFromText(text, nullptr);
  auto* root2 = dynamic_cast<TBox*>(copy);
  ASSERT_NE(nullptr, root2);
  auto* a2 = dynamic_cast<TBox*>(root2->FindComponent("A"));
  auto* b2 = dynamic_cast<TBox*>(root2->FindComponent("B"));
  ASSERT_NE(nullptr, a2);
  ASSERT_NE(nullptr, b2);
  EXPECT_EQ(root.Caption(), root2->Caption());
  EXPECT_EQ(0, a2->Count());
  EXPECT_EQ(7, b2->Count());
  EXPECT_EQ(lines, a2->Lines());
  EXPECT_EQ(b2, a2->Peer());
  EXPECT_EQ(a2, b2->Peer());
  EXPECT_EQ(text, WriteComponentText(*root2));
  delete copy;
}

TEST_F(FormStream, ExistingChildrenAreFilledNotCreated) {
  TBox root(nullptr);
  auto* existing = new TBox(&root);
  existing->SetName("First");
  ReadComponentText("object Root: TBox\n object First: TBox\n Count = 1\n end\nend", &root);
  EXPECT_EQ(1, root.ComponentCount());
  EXPECT_EQ(1, existing->Count());
}

TEST_F(FormStream, ErrorsNameTheLineAndUndoCreatedComponents) {
  struct Case {
    std::string text;
    std::string message_part;
  };
  const std::vector<Case> cases = {
      {"object R: TBox\n  Nope = 1\nend", "line 2: error reading R.Nope: property Nope does not exist"},
      {"object R: TBox\n  Count = 'x'\nend", "line 2: error reading R.Count: Invalid property value"},
      {"object R: TBox\n  Count = 99999999999\nend", "Invalid property value"},
      {"object R: TBox\n  object C: TBox\n    Peer = Ghost\n  end\nend", "component Ghost not found"},
      {"object R: TBox\n  object C: TUnknown\n  end\nend", "line 2: class TUnknown not found"},
      {"object R: TBox\n  Caption = 'open\nend", "unterminated text"},
      {"object R: TBox\n  Count = 1\n", "'end' expected"},
      {"object R: TBox\nend\nend", "text after the end of the form"},
      {"object R: TBox\n  object C: TBox\n  end\n  Lines.Strings = ( 'a' 1 )\nend",
       "error reading R.Lines.Strings"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TBox root(nullptr);
    g_log.clear();
    try {
      ReadComponentText(c.text, &root);
      ADD_FAILURE() << "no error";
    } catch (const EComponentError& e) {
      EXPECT_NE(std::string::npos, e.Message().find(c.message_part)) << e.Message();
    }
    EXPECT_EQ(0, root.ComponentCount());  // a created child was destroyed again
    EXPECT_FALSE(root.HasState(csLoading));
    EXPECT_FALSE(root.HasState(csReading));
  }
}

TEST_F(FormStream, SetterErrorsPropagateUnchanged) {
  TBox root(nullptr);
  std::string form = kForm;
  form.replace(form.find("Count = 0"), 9, "Count = -3");  // refused by the setter
  EXPECT_THROW(ReadComponentText(form, &root), EDatabaseError);
  EXPECT_EQ(0, root.ComponentCount());
}

TEST_F(FormStream, EveryComponentIsLoadedWhenOneFailsAndANewRootIsDestroyed) {
  const std::string text =
      "object R: TBox\n"
      "  object A: TBox\n    Caption = 'fail when loaded'\n  end\n"
      "  object B: TBox\n    Caption = 'fail when loaded'\n  end\nend\n";
  try {
    CreateComponentFromText(text, nullptr);
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_EQ("Loaded failed for A", e.Message());  // the first error
  }
  EXPECT_EQ((std::vector<std::string>{"loaded A reading=0", "loaded B reading=0", "loaded R reading=0",
                                      "destroy R", "destroy B", "destroy A"}),
            g_log);
  // Read into an existing root, the components stay.
  TBox root(nullptr);
  EXPECT_THROW(ReadComponentText(text, &root), EDatabaseError);
  EXPECT_EQ(2, root.ComponentCount());
  EXPECT_FALSE(root.FindComponent("A")->HasState(csLoading));
}

TEST_F(FormStream, ValueSyntax) {
  const TFormObject form = ParseFormText(
      "object X: TBox\n"
      "  F = 1.5\n  S = 2.25s\n  N = -7\n  Set = [a, bb]\n  Empty = []\n"
      "  Coll = <\n    item\n      Name = 'ID'\n      Size = 4\n    end>\n"
      "  Bin = {0A ff\n 10}\n  Plain = #65#66'c'\nend");
  ASSERT_EQ(8u, form.properties.size());
  EXPECT_DOUBLE_EQ(1.5, form.properties[0].value.AsFloat());
  EXPECT_DOUBLE_EQ(2.25, form.properties[1].value.AsFloat());
  EXPECT_EQ(-7, form.properties[2].value.AsInteger());
  EXPECT_EQ((std::vector<std::string>{"a", "bb"}), form.properties[3].value.AsSet());
  EXPECT_TRUE(form.properties[4].value.AsSet().empty());
  ASSERT_EQ(1u, form.properties[5].value.AsCollection().size());
  EXPECT_EQ("ID", form.properties[5].value.AsCollection()[0][0].second.AsString());
  EXPECT_EQ((std::vector<uint8_t>{0x0A, 0xFF, 0x10}), form.properties[6].value.AsBinary());
  EXPECT_EQ("ABc", form.properties[7].value.AsString());
  // A '$' after '#' is not a decimal code.
  EXPECT_THROW(ParseFormText("object X: TBox\n  P = #65#$42\nend"), EComponentError);
  // Round trip of every kind through the writer.
  for (const auto& p : form.properties) {
    const TFormObject again =
        ParseFormText("object X: TBox\n  P = " + FormatFormValue(p.value, 1) + "\nend");
    EXPECT_EQ(p.value, again.properties[0].value) << p.name;
  }
}

// Lists nested `depth` levels deep around one integer.
TFormValue NestedList(int depth) {
  TFormValue v = TFormValue::Integer(1);
  for (int i = 0; i < depth; ++i) v = TFormValue::List({v});
  return v;
}

TEST_F(FormStream, NestingIsLimitedWithAClearErrorInsteadOfExhaustingTheStack) {
  // Far deeper than any stack holds, in each construct that nests.
  for (const std::string open : {"(", "< item P = ", "object A: TBox "}) {
    std::string deep = "object X: TBox\n  P = ";
    if (open[0] == 'o') deep = "object X: TBox\n";
    for (int i = 0; i < 200000; ++i) deep += open;
    try {
      ParseFormText(deep);
      FAIL() << open;
    } catch (const EComponentError& e) {
      EXPECT_NE(std::string::npos, e.Message().find("nested more than 100 levels deep")) << e.Message();
    }
  }
  // The deepest list the reader takes is written and read back; one more is refused by both.
  const TFormValue deepest = NestedList(kMaxFormNesting - 1);
  const std::string text = "object X: TBox\n  P = " + FormatFormValue(deepest, 1) + "\nend";
  EXPECT_EQ(deepest, ParseFormText(text).properties[0].value);
  EXPECT_THROW(FormatFormValue(NestedList(kMaxFormNesting), 1), EComponentError);
  // Collections count one level each, as the reader counts them.
  TFormValue collections = TFormValue::Integer(1);
  for (int i = 0; i < kMaxFormNesting - 1; ++i) collections = TFormValue::Collection({{{"P", collections}}});
  const std::string text2 = "object X: TBox\n  P = " + FormatFormValue(collections, 1) + "\nend";
  EXPECT_EQ(collections, ParseFormText(text2).properties[0].value);
  std::string too_deep = "object X: TBox\n  P = ";
  for (int i = 0; i < kMaxFormNesting; ++i) too_deep += "(";
  EXPECT_THROW(ParseFormText(too_deep + "1" + std::string(kMaxFormNesting, ')') + "\nend"),
               EComponentError);
}

}  // namespace
}  // namespace framework
