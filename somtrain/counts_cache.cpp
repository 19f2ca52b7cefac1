#include "somtrain/counts_cache.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>

#include "common/checksum.h"

namespace somlabel::somtrain {
namespace {

using counts_format::Header;
using somlabel::Reason;
using somlabel::Result;

static_assert(std::endian::native == std::endian::little, "the counts file is little-endian");

void append_number(std::string& out, std::uint64_t value) {
  while (value >= 0x80) {
    out += static_cast<char>((value & 0x7f) | 0x80);
    value >>= 7;
  }
  out += static_cast<char>(value);
}

// Reads the body front to back; every read fails rather than run past its end.
class BodyReader {
 public:
  explicit BodyReader(std::string_view body) : in_(body), size_(body.size()) {}
  [[nodiscard]] bool number(std::uint64_t& value) {
    value = 0;
    for (int shift = 0; shift < 64; shift += 7) {
      if (in_.empty()) return false;
      const auto byte = static_cast<unsigned char>(in_.front());
      in_.remove_prefix(1);
      value |= static_cast<std::uint64_t>(byte & 0x7f) << shift;
      if (byte < 0x80) return true;
    }
    return false;
  }
  [[nodiscard]] bool line(std::string_view& text) {
    const std::size_t end = in_.find('\n');
    if (end == std::string_view::npos) return false;
    text = in_.substr(0, end);
    in_.remove_prefix(end + 1);
    return true;
  }
  [[nodiscard]] bool done() const { return in_.empty(); }
  [[nodiscard]] std::size_t position() const { return size_ - in_.size(); }

 private:
  std::string_view in_;
  std::size_t size_;
};

}  // namespace

const CountedDocument* CountsCache::find(std::string_view name) const {
  const auto found =
      std::lower_bound(documents_.begin(), documents_.end(), name,
                       [](const CountedDocument& d, std::string_view n) { return d.name < n; });
  return found != documents_.end() && found->name == name ? &*found : nullptr;
}

FormCounts CountsCache::decode(std::string_view pairs) {
  FormCounts counts;
  BodyReader in(pairs);
  std::uint64_t form = 0, step = 0, count = 0;
  while (in.number(step) && in.number(count)) {
    form += step;
    counts.emplace_back(static_cast<std::uint32_t>(form), static_cast<std::uint32_t>(count));
  }
  return counts;
}

Result<Reason> CountsCache::parse(std::string bytes) {
  clear();
  Header h{};
  if (bytes.size() < sizeof h) return Reason{"shorter than its header"};
  std::memcpy(&h, bytes.data(), sizeof h);
  if (std::memcmp(h.magic, counts_format::kMagic, sizeof h.magic) != 0)
    return Reason{"not a file of counted documents"};
  if (h.version != counts_format::kVersion) {
    return Reason{"counted documents of version " + std::to_string(h.version) +
                  ", this somtrain reads version " + std::to_string(counts_format::kVersion)};
  }
  bytes_ = std::move(bytes);
  const std::string_view body = std::string_view(bytes_).substr(sizeof h);
  if (somlabel::checksum64(body) != h.checksum) return fail("checksum mismatch");
  // Every form and document takes a byte at least, so the counts are bounded by the body.
  if (h.forms > body.size() || h.documents > body.size())
    return fail("more forms or documents than bytes");
  BodyReader in(body);
  std::string_view text;
  if (!in.line(language_)) return fail("damaged");
  forms_.reserve(h.forms);
  for (std::uint32_t f = 0; f < h.forms; ++f) {
    if (!in.line(text) || (!forms_.empty() && !(forms_.back() < text))) return fail("damaged");
    forms_.push_back(text);
  }
  documents_.reserve(h.documents);
  for (std::uint64_t d = 0; d < h.documents; ++d) {
    CountedDocument document;
    std::uint64_t cut = 0, pairs = 0;
    if (!in.line(document.name) ||
        (!documents_.empty() && !(documents_.back().name < document.name)) ||
        !in.number(document.stamp.size) || !in.number(document.stamp.modified) ||
        !in.number(document.stamp.inode) || !in.number(cut) || cut > 1 || !in.number(pairs) ||
        pairs > h.forms) {
      return fail("damaged");
    }
    document.cut = cut == 1;
    const std::size_t start = in.position();
    std::uint64_t form = 0;
    for (std::uint64_t k = 0; k < pairs; ++k) {
      std::uint64_t step = 0, count = 0;
      if (!in.number(step) || !in.number(count) || (k > 0 && step == 0) || step >= h.forms ||
          form + step >= h.forms || count == 0 || count > UINT32_MAX) {
        return fail("damaged");
      }
      form += step;
    }
    document.pairs = body.substr(start, in.position() - start);
    documents_.push_back(document);
  }
  return in.done() ? Result<Reason>() : fail("damaged");
}

void CountsCache::clear() {
  bytes_.clear();
  language_ = {};
  forms_.clear();
  documents_.clear();
}

Result<Reason> CountsCache::fail(const std::string& why) {
  clear();
  return Reason{why};
}

CountsCacheWriter::CountsCacheWriter(std::string_view language,
                                     const std::vector<std::string>& forms)
    : forms_(static_cast<std::uint32_t>(forms.size())) {
  body_.append(language) += '\n';
  for (const std::string& form : forms) body_.append(form) += '\n';
}

void CountsCacheWriter::add(std::string_view name, FileStamp stamp, bool cut,
                            const FormCounts& pairs) {
  body_.append(name) += '\n';
  append_number(body_, stamp.size);
  append_number(body_, stamp.modified);
  append_number(body_, stamp.inode);
  append_number(body_, cut ? 1 : 0);
  append_number(body_, pairs.size());
  std::uint32_t last = 0;
  for (const auto& [form, count] : pairs) {
    append_number(body_, form - last);
    append_number(body_, count);
    last = form;
  }
  ++documents_;
}

std::string CountsCacheWriter::bytes() const {
  Header h{};
  std::memcpy(h.magic, counts_format::kMagic, sizeof h.magic);
  h.version = counts_format::kVersion;
  h.forms = forms_;
  h.documents = documents_;
  h.checksum = somlabel::checksum64(body_);
  return std::string(reinterpret_cast<const char*>(&h), sizeof h) + body_;
}

}  // namespace somlabel::somtrain
