#include "toolkit/SlotTable.h"

#include "base/Text.h"
#include "base/ToolSlots.h"

namespace quillet::toolkit {

const std::vector<Slot>& SlotTable() {
  static const std::vector<Slot> table = {
      {slot::kMkvInfo.link, RunMkvinfo},
      {slot::kMkvExtract.link, RunMkvextract},
      {slot::kMkvMerge.link, RunMkvmerge},
      {slot::kX264Checker.link, RunX264Checker},
      {slot::kWavGrab.link, RunWavgrab},
      {slot::kFFmpeg.link, RunFfmpeg},
      {slot::kFaad.link, RunFaad},
      {slot::kSoundStretch.link, RunSoundstretch},
      {slot::kNormalize.link, RunNormalize},
      {slot::kValDec.link, RunValdec},
      {slot::kBeSweet.link, RunBeSweet},
      {slot::kMP4Box.link, RunMp4Box},
      {slot::kMp4Creator.link, RunMp4Creator},
      {slot::kH264Info.link, RunH264Info},
      {slot::kMencoder.link, RunMencoder},
      {slot::kTsMuxer.link, RunTsmuxer},
      {slot::kAften.link, RunAften},
      {slot::kAviMux.link, RunAviMux},
      {slot::kAsfToVc1.link, RunAsf2Vc1},
      // The WMV road's AC3 encoder takes aften's command line.
      {slot::kEncWavToAc3.link, RunAften},
      {slot::kMmcl.link, RunMmcl},
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
