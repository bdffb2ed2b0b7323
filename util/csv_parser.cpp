#include "util/csv_parser.h"

#include <new>
#include <utility>

#include "util/text.h"

namespace pt {

namespace {

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

}  // namespace

CSV_Parser::CSV_Parser(int bufferSize, MessageSink sink)
    : sink_(std::move(sink)),
      maxItemLength_((bufferSize > 5 ? bufferSize : 10000) - 1) {}

void CSV_Parser::Report(const std::string& msg) const {
  if (sink_) sink_(msg);
}

bool CSV_Parser::setItemCount(int n) {
  if (n < 0) return false;
  itemCount_ = n;
  if (items_.size() < static_cast<std::size_t>(n)) {
    try {
      items_.assign(static_cast<std::size_t>(n), std::string());
    } catch (const std::bad_alloc&) {
      items_.clear();
      itemCount_ = 0;
      Report("CSV Parser::setItemCount() => Memory Reallocation Error");
      return false;
    }
  }
  setItemRange(0, 0);
  return true;
}

bool CSV_Parser::setItemRange(int first, int last) {
  if (first == 0) first = 1;
  if (last == 0) last = itemCount_;
  if (first < 1 || first > last || last > itemCount_) return false;
  firstItem_ = first - 1;
  lastItem_ = last - 1;
  return true;
}

int CSV_Parser::countItems(std::string_view text) const {
  while (!text.empty() && IsLineEnd(text.back())) text.remove_suffix(1);
  if (text.empty()) return 0;
  int separatorsMet = 0;
  bool inQuotes = false;
  for (char c : text) {
    if (c == '"') {
      inQuotes = !inQuotes;
    } else if (separators.find(c) != std::string::npos &&
               (!quoteAware || !inQuotes)) {
      ++separatorsMet;
    }
  }
  return separatorsMet + 1;
}

bool CSV_Parser::parseString(std::string_view text) {
  valid_ = false;
  if (itemCount_ == 0) setItemCount(countItems(text));
  if (firstItem_ < 0 || lastItem_ < firstItem_ || lastItem_ > itemCount_ - 1) {
    Report(kCsvIllegalItemAccess);
    return false;
  }

  auto splitsHere = [this](char c, bool inQuotes) {
    return separators.find(c) != std::string::npos && (!quoteAware || !inQuotes);
  };

  std::size_t pos = 0;
  bool inQuotes = false;
  for (int passed = 0; passed < firstItem_ && pos < text.size(); ++pos) {
    const char c = text[pos];
    if (c == '"') {
      inQuotes = !inQuotes;
    } else if (splitsHere(c, inQuotes)) {
      ++passed;
    }
  }

  const int n = lastItem_ - firstItem_ + 1;
  for (int j = 0; j < n; ++j) items_[static_cast<std::size_t>(j)].clear();

  int reached = 0;
  for (int j = 0; j < n; ++j) {
    ++reached;
    std::string item;
    bool stop = true;
    while (pos < text.size()) {
      const char c = text[pos++];
      if (c == '"') {
        inQuotes = !inQuotes;
      } else if (splitsHere(c, inQuotes)) {
        // A separator as the very last character ends the walk as well.
        stop = pos >= text.size();
        break;
      }
      if (!IsLineEnd(c)) item += c;
    }

    std::size_t start = 0;
    std::size_t length = item.size();
    if (length > 0 && stripQuotes) {
      if (item[length - 1] == '"') --length;
      if (item[0] == '"') {
        start = 1;
        length = length > 0 ? length - 1 : 0;
      }
    }
    if (maxItemLength_ < 0) {
      length = 0;
    } else if (length > static_cast<std::size_t>(maxItemLength_)) {
      length = static_cast<std::size_t>(maxItemLength_);
    }
    items_[static_cast<std::size_t>(j)] = item.substr(start, length);
    if (stop) break;
  }

  parsedCount_ = n;
  valid_ = true;
  return reached > 1 || !items_[0].empty();
}

std::string CSV_Parser::getItem(int index) const {
  if (!valid_ || index < 0 || index >= parsedCount_) return {};
  return items_[static_cast<std::size_t>(index)];
}

bool ExtensionInList(std::string_view list, std::string_view word,
                     const MessageSink& sink) {
  CSV_Parser parser(100, sink);
  parser.parseString(ToLowerAscii(list));
  const std::string wanted = ToLowerAscii(word);
  for (int i = 0; i < parser.getItemCount(); ++i) {
    if (parser.getItem(i) == wanted) return true;
  }
  return false;
}

}  // namespace pt
