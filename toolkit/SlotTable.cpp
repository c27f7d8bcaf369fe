#include "toolkit/SlotTable.h"

#include "toolkit/Text.h"

namespace quillet::toolkit {

const std::vector<Slot>& SlotTable() {
  static const std::vector<Slot> table = {
      {"MKVToolnix/mkvinfo.exe", RunMkvinfo},
      {"MKVToolnix/mkvextract.exe", RunMkvextract},
      {"MKVToolnix/mkvmerge.exe", RunMkvmerge},
      {"Checker/x264_checker.exe", RunX264Checker},
      {"TS/wavgrab.exe", RunWavgrab},
      {"FFMpeg/FFmpeg.exe", RunFfmpeg},
      {"FFMpeg/faad.exe", RunFaad},
      {"Sounds/soundstretch.exe", RunSoundstretch},
      {"Sounds/normalize.exe", RunNormalize},
      {"ac3filter/valdec.exe", RunValdec},
      {"besweet/BeSweet.exe", RunBeSweet},
      {"MP4Box/MP4Box.exe", RunMp4Box},
      {"MP4Box/mp4creator.exe", RunMp4Creator},
      {"h264info/h264info.exe", RunH264Info},
      {"Mencoder/Mencoder.exe", RunMencoder},
      {"TS/tsmuxer.exe", RunTsmuxer},
      {"aften/aften.exe", RunAften},
      {"avimux/avimux_gui.exe", RunAviMux},
      {"TS/asf2vc1.exe", RunAsf2Vc1},
      // The WMV road's AC3 encoder takes aften's command line.
      {"aften/EncWAVtoAC3.exe", RunAften},
      {"Checker/mmcl.exe", RunMmcl},
  };
  return table;
}

const Slot* FindSlot(const std::string& invokedPath) {
  std::string path = Lower(invokedPath);
  for (char& c : path)
    if (c == '\\') c = '/';
  for (const Slot& slot : SlotTable()) {
    std::string name = Lower(slot.path);
    if (path == name || EndsWith(path, "/" + name)) return &slot;
  }
  return nullptr;
}

}  // namespace quillet::toolkit
