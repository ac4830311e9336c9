#include "ui/qt/byte_text.h"

#include <QByteArray>
#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kestrin::qt {
namespace {

// Each call decodes a whole text, and a byte order mark at its start is a character like any other.
constexpr QStringConverter::Flags kExact =
    QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom;

std::uint8_t At(std::string_view bytes, std::size_t i) { return static_cast<std::uint8_t>(bytes[i]); }

// Bytes of the GB18030 character starting at bytes[i] (a byte of 0x80 or more): a lead byte with its
// trail byte, which may be ASCII, or the four-byte form; else the byte alone.
std::size_t GbCharLength(std::string_view bytes, std::size_t i) {
  const std::uint8_t lead = At(bytes, i);
  if (lead < 0x81 || lead > 0xFE || i + 1 >= bytes.size()) return 1;
  const std::uint8_t second = At(bytes, i + 1);
  if ((second >= 0x40 && second <= 0x7E) || (second >= 0x80 && second <= 0xFE)) return 2;
  if (second >= 0x30 && second <= 0x39 && i + 3 < bytes.size() && At(bytes, i + 2) >= 0x81 &&
      At(bytes, i + 2) <= 0xFE && At(bytes, i + 3) >= 0x30 && At(bytes, i + 3) <= 0x39) {
    return 4;
  }
  return 1;
}

// A decoder and an encoder of one encoding, made once per thread (making a GB18030 converter is slow),
// and made anew after an error, which may leave a converter holding half a character.
struct Codec {
  explicit Codec(const char* encoding) : name(encoding) { Renew(); }
  void Renew() {
    decoder = QStringDecoder(name, kExact);
    encoder = QStringEncoder(name, QStringConverter::Flag::Stateless);
  }
  const char* name;
  QStringDecoder decoder;
  QStringEncoder encoder;
};

Codec& Utf8Codec() {
  thread_local Codec codec("UTF-8");
  return codec;
}

Codec& Gb18030Codec() {
  thread_local Codec codec("GB18030");
  return codec;
}

// The text of bytes in the codec's encoding, when every byte decodes and encodes back to itself.
bool DecodeExactly(std::string_view bytes, Codec& codec, QString& text) {
  if (!codec.decoder.isValid() || !codec.encoder.isValid()) return false;
  const QByteArrayView view(bytes.data(), static_cast<qsizetype>(bytes.size()));
  text = codec.decoder.decode(view);
  if (codec.decoder.hasError()) {
    codec.Renew();
    return false;
  }
  const QByteArray back = codec.encoder.encode(text);
  if (codec.encoder.hasError()) {
    codec.Renew();
    return false;
  }
  return QByteArrayView(back) == view;
}

void AppendEscape(QString& out, std::uint8_t byte) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += QLatin1String("\\x");
  out += QLatin1Char(kHex[byte >> 4]);
  out += QLatin1Char(kHex[byte & 0xF]);
}

int HexDigit(QChar c) {
  if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) return c.unicode() - '0';
  if (c >= QLatin1Char('A') && c <= QLatin1Char('F')) return c.unicode() - 'A' + 10;
  if (c >= QLatin1Char('a') && c <= QLatin1Char('f')) return c.unicode() - 'a' + 10;
  return -1;
}

}  // namespace

ShownText ShowBytes(std::string_view bytes) {
  // The stretches of non-ASCII bytes, each decoded on its own, so that a UTF-8 message around a GBK name
  // shows both readably.
  struct Stretch {
    std::size_t begin, end;
    QString text;
    bool escaped;
  };
  std::vector<Stretch> stretches;
  bool anyGb = false;
  bool anyEscaped = false;
  for (std::size_t i = 0; i < bytes.size();) {
    if (At(bytes, i) < 0x80) {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < bytes.size() && At(bytes, end) >= 0x80) end += GbCharLength(bytes, end);
    end = std::min(end, bytes.size());
    Stretch stretch{i, end, {}, false};
    const std::string_view run = bytes.substr(i, end - i);
    if (!DecodeExactly(run, Utf8Codec(), stretch.text)) {
      if (DecodeExactly(run, Gb18030Codec(), stretch.text)) {
        anyGb = true;
      } else {
        stretch.escaped = anyEscaped = true;
      }
    }
    stretches.push_back(std::move(stretch));
    i = end;
  }

  ShownText shown;
  if (stretches.empty()) {
    shown.text = QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return shown;
  }
  shown.bytes = anyEscaped ? TextBytes::Escaped : anyGb ? TextBytes::Gb18030 : TextBytes::Utf8;
  shown.text.reserve(static_cast<qsizetype>(bytes.size()));
  std::size_t next = 0;
  const auto appendAscii = [&](std::size_t from, std::size_t to) {
    for (std::size_t k = from; k < to; ++k) {
      // With escapes in the text a backslash is one too, so that reading it back is unambiguous.
      if (anyEscaped && bytes[k] == '\\') {
        AppendEscape(shown.text, '\\');
      } else {
        shown.text += QLatin1Char(bytes[k]);
      }
    }
  };
  for (const Stretch& stretch : stretches) {
    appendAscii(next, stretch.begin);
    if (stretch.escaped) {
      for (std::size_t k = stretch.begin; k < stretch.end; ++k) {
        if (At(bytes, k) >= 0x80) {
          AppendEscape(shown.text, At(bytes, k));
        } else {
          appendAscii(k, k + 1);
        }
      }
    } else {
      shown.text += stretch.text;
    }
    next = stretch.end;
  }
  appendAscii(next, bytes.size());
  return shown;
}

std::string BytesOf(const QString& text, TextBytes as) {
  QByteArray bytes;
  switch (as) {
    case TextBytes::Utf8:
      bytes = text.toUtf8();
      break;
    case TextBytes::Gb18030: {
      Codec& codec = Gb18030Codec();
      bytes = codec.encoder.isValid() ? codec.encoder.encode(text) : text.toUtf8();
      if (codec.encoder.hasError()) {
        codec.Renew();
        bytes = text.toUtf8();
      }
      break;
    }
    case TextBytes::Escaped:
      for (qsizetype i = 0; i < text.size();) {
        if (text[i] == QLatin1Char('\\') && i + 3 < text.size() && text[i + 1] == QLatin1Char('x') &&
            HexDigit(text[i + 2]) >= 0 && HexDigit(text[i + 3]) >= 0) {
          bytes += static_cast<char>(HexDigit(text[i + 2]) * 16 + HexDigit(text[i + 3]));
          i += 4;
          continue;
        }
        // One character, a surrogate pair whole.
        const qsizetype length = (text[i].isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
        bytes += text.mid(i, length).toUtf8();
        i += length;
      }
      break;
  }
  return bytes.toStdString();
}

void ByteEdit::SetBytes(std::string_view bytes) {
  const ShownText shown = ShowBytes(bytes);
  setText(shown.text);
  m_bytes.assign(bytes);
  m_shown = text();
  m_as = shown.bytes;
}

std::string ByteEdit::Bytes() const { return text() == m_shown ? m_bytes : BytesOf(text(), m_as); }

}  // namespace kestrin::qt
