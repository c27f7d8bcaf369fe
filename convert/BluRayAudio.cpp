// Sound for Blu-ray folders, which take 48 kHz only: the WAV's rate read from its header,
// and the resampling step.

#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "app/AppTools.h"
#include "app/Ui.h"
#include "base/Files.h"
#include "convert/PathNames.h"
#include "convert/StepHelpers.h"

namespace quillet {
namespace {

constexpr int kBluRayRate = 48000;

uint32_t LittleEndian32(const unsigned char* bytes) {
  return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

bool HoldsSound(const std::string& path) {
  int64_t size = 0;
  return CanOpenFile(path, &size) && size > 0;
}

}  // namespace

int WavSampleRate(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  unsigned char head[12];
  if (!in.read(reinterpret_cast<char*>(head), sizeof head)) return 0;
  if ((std::memcmp(head, "RIFF", 4) != 0 && std::memcmp(head, "RF64", 4) != 0) ||
      std::memcmp(head + 8, "WAVE", 4) != 0)
    return 0;
  // The chunks before the sound ("ds64", "fmt ", perhaps others) are small; the format
  // chunk holds the format tag, the channels and then the rate.
  unsigned char chunk[8];
  while (in.read(reinterpret_cast<char*>(chunk), sizeof chunk)) {
    const uint32_t size = LittleEndian32(chunk + 4);
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      unsigned char format[8];
      if (size < sizeof format || !in.read(reinterpret_cast<char*>(format), sizeof format))
        return 0;
      return static_cast<int>(LittleEndian32(format + 4));
    }
    if (std::memcmp(chunk, "data", 4) == 0) return 0;
    in.seekg(size + (size & 1), std::ios::cur);
  }
  return 0;
}

bool ResampleWavTo48k(App& app, const std::string& folder, int reportedRate) {
  const std::string wav = folder + work::kWav;
  const std::string resampled = folder + work::kWav48k;
  int rate = 0;
  IgnoringErrors([&] { rate = WavSampleRate(wav); });
  if (rate == 0) rate = reportedRate;
  if (rate == 0 || rate == kBluRayRate) return true;
  IgnoringErrors([&] {
    AppendDebugLog(app,
                   "Sound at " + std::to_string(rate) + " Hz: resampled to 48000 Hz for Blu-ray");
  });
  IgnoringErrors([&] { DeleteFileQuietly(resampled); });
  RunStep(app, Q(ToolPath(app, tool::kFFmpeg)) + " -i " + Q(wav) + " -ar 48000 -rf64 auto " +
                   Q(resampled));
  if (!HoldsSound(resampled)) {
    IgnoringErrors([&] {
      app.ctx.ui.MsgBox("Error: " + resampled + " was not created.", MsgStyle::kCritical,
                        "Audio error");
    });
    SetProgress(app, kConversionError);
    return false;
  }
  std::error_code ec;
  std::filesystem::rename(resampled, wav, ec);
  return true;
}

}  // namespace quillet
