#include "log_records.h"

#include <cinttypes>
#include <cstdio>

#include "os/build_id.h"

namespace korvi::supervisor {
namespace {

// Days since 1970-01-01 to a civil date (the proleptic Gregorian calendar).
void CivilFromDays(std::int64_t days, int& year, unsigned& month, unsigned& day) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
  const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned shiftedMonth = (5 * dayOfYear + 2) / 153;
  day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
  month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
  year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

std::string Head(std::string_view kind) { return "{\"log\":\"" + std::string(kind) + "\""; }
std::string Life(int life) { return ",\"life\":" + std::to_string(life); }
std::string Wall(std::int64_t wallMs) { return ",\"wall\":\"" + IsoTime(wallMs) + "\""; }

}  // namespace

std::string IsoTime(std::int64_t unixMs) {
  const std::int64_t msPerDay = 86'400'000;
  std::int64_t days = unixMs / msPerDay;
  std::int64_t inDay = unixMs % msPerDay;
  if (inDay < 0) {
    inDay += msPerDay;
    --days;
  }
  int year;
  unsigned month, day;
  CivilFromDays(days, year, month, day);
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", year, month, day,
                static_cast<int>(inDay / 3'600'000), static_cast<int>(inDay / 60'000 % 60),
                static_cast<int>(inDay / 1000 % 60), static_cast<int>(inDay % 1000));
  return text;
}

std::string JsonText(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte >= 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04X", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string RunRecord() {
  return Head("run") + ",\"source\":\"supervisor\",\"version\":2,\"build\":" + build::Json() + "}";
}

std::string NoteRecord(std::int64_t wallMs, std::string_view event, std::string_view text) {
  return Head("note") + Wall(wallMs) + ",\"event\":" + JsonText(event) + ",\"text\":" + JsonText(text) + "}";
}

std::string StartRecord(int life, std::int64_t wallMs, std::string_view program) {
  return Head("start") + Life(life) + Wall(wallMs) + ",\"program\":" + JsonText(program) + "}";
}

std::string ConsoleRecord(int life, std::int64_t us, std::string_view text, bool cut) {
  return Head("console") + Life(life) + ",\"t_us\":" + std::to_string(us) + ",\"text\":" + JsonText(text) +
         (cut ? ",\"cut\":true}" : "}");
}

std::string DroppedRecord(int life, std::int64_t us, const Gap& gap) {
  return Head("dropped") + Life(life) + ",\"t_us\":" + std::to_string(us) + ",\"chunks\":" +
         std::to_string(gap.items) + ",\"bytes\":" + std::to_string(gap.bytes) + "}";
}

std::string TraceRecord(int life, std::string_view traceLine) {
  return Head("trace") + Life(life) + ",\"record\":" + std::string(traceLine) + "}";
}

std::string EndRecord(const LifeEnd& end) {
  std::string record = Head("end") + Life(end.life) + Wall(end.wallMs) + ",\"exit_code\":";
  record += end.exitCode ? std::to_string(*end.exitCode) : "null";
  record += ",\"meaning\":\"" + std::string(MeaningName(end.meaning)) + "\",\"text\":" +
            JsonText(MeaningText(end.meaning)) + ",\"lasted_ms\":" + std::to_string(end.lasted.count()) +
            ",\"delay_ms\":" + std::to_string(end.delay.count()) + ",\"restarts\":" +
            (end.restarts ? "true" : "false");
  return record + "}";
}

}  // namespace korvi::supervisor
