// Splits one line of text into items at separator characters, honouring
// double quotes. The program uses it to test whether a file extension is in
// the user's list of already-compressed extensions.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace pt {

// Receives the parser's plain messages (the window shows them in a box).
using MessageSink = std::function<void(const std::string&)>;

class CSV_Parser {
 public:
  // Items longer than bufferSize - 1 characters are cut; sizes of 5 or less
  // mean 10000.
  explicit CSV_Parser(int bufferSize, MessageSink sink = {});

  bool setItemCount(int n);
  bool setItemRange(int first, int last);  // 1-based, 0 = default
  int countItems(std::string_view text) const;
  bool parseString(std::string_view text);
  int getItemCount() const { return parsedCount_; }
  std::string getItem(int index) const;

  std::string separators = ";,";
  bool quoteAware = true;
  bool stripQuotes = true;

 private:
  void Report(const std::string& msg) const;

  MessageSink sink_;
  std::vector<std::string> items_;
  int itemCount_ = 0;
  int parsedCount_ = 0;
  int firstItem_ = 0;
  int lastItem_ = 0;
  bool valid_ = false;
  int maxItemLength_ = 0;
};

inline constexpr const char* kCsvIllegalItemAccess =
    "CSV_Parser::parseString => Illegal Item Access";

// True when the lower-cased word equals one item of the lower-cased list.
// Items are not trimmed. Messages of the parser go to sink.
bool ExtensionInList(std::string_view list, std::string_view word,
                     const MessageSink& sink = {});

}  // namespace pt
