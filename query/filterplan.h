// TFilterPlan: a filter script of the common shapes, run on a record's bytes instead of by the
// interpreter. The shapes: a field read (>NAME.get) compared with a literal by = <> < > <= >=
// (either side first), like, unlike or in (field first), a bare logical field, true, false,
// and such tests combined with and, or, xor and not. A script is planned whole or not at all.
//
// A plan must give the interpreter's answer for every record, so it only takes what it can
// reproduce exactly and declines the rest (Bind answers false): character fields against
// text only (like, unlike and in too), numbers and dates against a literal that converts to a
// number, logical fields against any literal, and only fields stored as text that the
// cursor's column layout reads as a string, whole number, float, logical or date, with a
// translation of one byte for one. Fields are read through that layout (offsets, null flags,
// the byte table, the decoders), and like, unlike and in match as script/setmatch.h does, as
// the interpreter's words do. None of the planned tests can fail; the one error a plan raises
// is the interpreter's for a Null result ("Invalid variant type conversion"), at the same
// record.
//
// Lifecycle: Recognise (script only) -> Bind (per opened table) -> Accept (per record).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dbf/recordcandidates.h"
#include "dbf/tdbf.h"
#include "script/atoms.h"
#include "script/setmatch.h"
#include "value/value.h"

namespace tavlo {

class TFilterPlan {
 public:
  // The plan of a compiled script, or nullptr when it is not wholly of the planned shapes.
  static std::unique_ptr<TFilterPlan> Recognise(const TAtomList& atoms);

  // Takes the fields' columns and translations from dbf's layout. false when a test cannot
  // run on this table's bytes (unknown field, another field kind, a literal of another kind):
  // the interpreter must run instead.
  bool Bind(TDbf& dbf);
  bool Bound() const { return bound_; }

  // The interpreter's verdict on record (deletion flag first). Raises EVariantTypeCastError
  // where the interpreter's result would be Null.
  bool Accept(const std::uint8_t* record);

  // The records the bound plan can accept, found in dbf's attached index tags without
  // reading the table: an equality (or, on a tag of the field as it is, a range) of a
  // character field whose tag holds every record's key in byte order (no FOR clause, not
  // unique, not descending) descends the tree to its keys; and, or combine them. nullptr
  // when no test can use a tag, a tag turns out damaged, or some test of the plan could be
  // Null (skipping a record must never skip the error it would raise). A superset of what
  // Accept accepts among the records the tags list, as long as the index is up to date:
  // Accept still decides each one. tagsUsed, when given, receives the tags' names.
  std::shared_ptr<TRecordCandidates> IndexCandidates(TDbf& dbf,
                                                     std::vector<std::string>* tagsUsed = nullptr);

 private:
  enum class Op : std::uint8_t { Eq, Ne, Lt, Le, Gt, Ge, Like, Unlike, In };
  enum class StepKind : std::uint8_t { Test, True, False, And, Or, Xor, Not };
  struct Test {
    std::string field;  // as written in the script
    Op op = Op::Eq;
    bool bare = false;  // a bare field read used as a condition
    Variant literal;
    // Bound:
    const TColumnLayout* layout = nullptr;
    TColumn column;        // its reading is one of String, Whole, Float, Date and Logical
    double number = 0;     // the literal as a real (numbers, dates, logicals against numbers)
    bool byTruth = false;  // a logical field against a text literal: compared as booleans
    bool truth = false;
    std::string text;             // the literal text
    std::vector<TSetItem> items;  // in: the set's items up to an unclosed quote
    bool identity = true;         // the field's translation leaves every byte as it is
    // = and <>: the stored bytes whose translation is the literal, when only those are.
    bool byStored = false;
    std::string stored;
    std::array<unsigned char, 256> translate{};
  };
  struct Step {
    StepKind kind;
    int test = -1;
  };

  int TestVerdict(Test& test, const std::uint8_t* record);  // 0 false, 1 true, 2 Null
  bool BindTest(TDbf& dbf, Test& test);
  static bool BindTranslation(const TColumnLayout& layout, Test& test);
  std::shared_ptr<TRecordCandidates> TestCandidates(TDbf& dbf, const Test& test,
                                                    std::vector<std::string>* tagsUsed);
  // The translated text of a character field (its value as the interpreter sees it).
  std::string_view Translated(const Test& test, std::string_view stored);

  std::vector<Test> tests_;
  std::vector<Step> steps_;  // postfix
  std::vector<std::uint8_t> stack_;
  bool bound_ = false;
  std::string scratch_;
};

}  // namespace tavlo
