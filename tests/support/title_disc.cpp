#include "support/title_disc.h"

#include "io/file_io.h"
#include "evo_builder.h"
#include "subpicture_encoder.h"
#include "support/temp_dir.h"

namespace tarnwell::testing {

namespace {

// 48 kHz, 16 bits, 2 channels.
constexpr fixture::LpcmHeader kLpcm = {0x00, 0x01, 0x80};
constexpr std::size_t kLpcmBytesPerSecond = 48000 * 2 * 2;

fixture::Bytes clipBytes(const TitleDiscClip& clip, std::uint32_t seed) {
    fixture::PackWriter writer;
    writer.navPack(1, 1);
    writer.write(fixture::StreamRef::vc1(0), fixture::vc1Frames(48, 2000, seed),
                 clip.firstVideoPts);
    // Whole LPCM blocks in each packet, as a disc has them.
    const auto audio = fixture::StreamRef::lpcm(0, kLpcm);
    const auto samples = fixture::noisePayload(2 * kLpcmBytesPerSecond, seed);
    const std::size_t step = fixture::PackWriter::packCapacity(audio, true) / 36 * 36;
    for (std::size_t at = 0; at < samples.size(); at += step)
        writer.write(audio, std::span(samples).subspan(at, std::min(step, samples.size() - at)),
                     at ? std::nullopt : std::optional<std::uint64_t>(clip.firstVideoPts));
    fixture::SubpictureSpec unit;
    unit.x = 200, unit.y = 900, unit.width = 320, unit.height = 32;
    unit.pixels = fixture::subpicturePattern(unit.width, unit.height, 4, seed);
    for (int i = 0; i < 256; ++i)
        unit.palette.insert(unit.palette.end(), {std::uint8_t(i), 128, 128});
    unit.alpha.assign(256, 0);
    unit.stopDelay = 40;
    writer.write(fixture::StreamRef::sub(0), fixture::encodeSubpictureUnit(unit), clip.subtitlePts);
    return writer.take();
}

const char* kOtherPlaylist = R"(<?xml version="1.0" encoding="UTF-8"?>
<Playlist displayName="NOT THE FIRST PLAYLIST"><TitleSet><Title titleNumber="1" displayName="Other">
<PrimaryAudioVideoClip src="file:///dvddisc/HVDVD_TS/FEATURE_1.MAP"/></Title></TitleSet></Playlist>
)";

}  // namespace

const std::string& titleDiscPlaylist() {
    static const std::string text = R"(<?xml version="1.0" encoding="UTF-8"?>
<Playlist xmlns="http://www.dvdforum.org/2005/HDDVDVideo/Playlist" majorVersion="1" minorVersion="0" displayName="TITLE DISC">
  <MediaAttributeList>
    <VideoAttributeItem index="1" codec="VC-1"/>
    <AudioAttributeItem index="1" codec="LPCM" sampleFrequency="48" sampleDepth="16" channels="2"/>
    <SubpictureAttributeItem index="1" codec="8bitRLC"/>
  </MediaAttributeList>
  <TitleSet timeBase="24fps">
    <FirstPlayTitle titleDuration="00:00:01:00"/>
    <Title id="FEATURE" titleNumber="1" displayName="Feature" titleDuration="00:00:04:00">
      <TrackNavigationList>
        <AudioTrack track="1" langcode="de:00"/>
      </TrackNavigationList>
      <PrimaryAudioVideoClip dataSource="Disc" titleTimeBegin="00:00:00:00" titleTimeEnd="00:00:02:00" src="file:///dvddisc/HVDVD_TS/FEATURE_1.MAP" clipTimeBegin="00:00:00:00">
        <Video track="1" mediaAttr="1"/>
        <Audio track="1" streamNumber="1" mediaAttr="1" langcode="en:00" description="Main"/>
        <Subtitle track="1" streamNumber="1" mediaAttr="1" langcode="fr:00" description="French"/>
      </PrimaryAudioVideoClip>
      <PrimaryAudioVideoClip dataSource="Disc" titleTimeBegin="00:00:02:00" titleTimeEnd="00:00:04:00" src="file:///dvddisc/HVDVD_TS/FEATURE_2.MAP" clipTimeBegin="00:00:00:00">
        <Video track="1" mediaAttr="1"/>
        <Audio track="1" streamNumber="1" mediaAttr="1" langcode="en:00" description="Main"/>
        <Subtitle track="1" streamNumber="1" mediaAttr="1" langcode="fr:00" description="French"/>
      </PrimaryAudioVideoClip>
      <ChapterList>
        <Chapter titleTimeBegin="00:00:00:00" displayName="Opening"/>
        <Chapter titleTimeBegin="00:00:01:12" displayName="Harbour &amp; Town"/>
        <Chapter titleTimeBegin="00:00:02:00" displayName="Second Reel"/>
      </ChapterList>
    </Title>
    <Title id="MAKING" titleNumber="2" displayName="Making Of" titleDuration="00:00:04:00">
      <PrimaryAudioVideoClip dataSource="Disc" titleTimeBegin="00:00:00:00" titleTimeEnd="00:00:02:00" src="file:///dvddisc/HVDVD_TS/MAKING_1.MAP" clipTimeBegin="00:00:00:00">
        <Video track="1" mediaAttr="1"/>
        <Audio track="1" streamNumber="1" mediaAttr="1" langcode="en:00" description="Commentary"/>
        <Subtitle track="1" streamNumber="1" mediaAttr="1" langcode="en:00" description="English"/>
      </PrimaryAudioVideoClip>
      <PrimaryAudioVideoClip dataSource="Disc" titleTimeBegin="00:00:02:00" titleTimeEnd="00:00:04:00" src="file:///dvddisc/HVDVD_TS/MAKING_2.MAP" clipTimeBegin="00:00:00:00">
        <Video track="1" mediaAttr="1"/>
        <Audio track="1" streamNumber="1" mediaAttr="1" langcode="en:00" description="Commentary"/>
        <Subtitle track="1" streamNumber="1" mediaAttr="1" langcode="en:00" description="English"/>
      </PrimaryAudioVideoClip>
      <ChapterList>
        <Chapter titleTimeBegin="00:00:00:00" displayName="Start"/>
        <Chapter titleTimeBegin="00:00:03:06" displayName="Crew"/>
      </ChapterList>
    </Title>
  </TitleSet>
  <TitleSet>
    <Title id="TRAILER" titleNumber="3" displayName="Trailer" titleDuration="00:00:02:00">
      <PrimaryAudioVideoClip dataSource="Disc" titleTimeBegin="00:00:00:00" titleTimeEnd="00:00:02:00" src="file:///dvddisc/HVDVD_TS/TRAILER.MAP" clipTimeBegin="00:00:00:00">
        <Video track="1" mediaAttr="1"/>
        <Audio track="1" streamNumber="1" mediaAttr="1" description="Stereo"/>
      </PrimaryAudioVideoClip>
      <ChapterList>
        <Chapter titleTimeBegin="00:00:00:30" displayName="Trailer"/>
      </ChapterList>
    </Title>
    <Title id="LOST" titleNumber="4" displayName="Lost Scene" titleDuration="00:00:02:00">
      <PrimaryAudioVideoClip dataSource="Disc" titleTimeBegin="00:00:00:00" titleTimeEnd="00:00:02:00" src="file:///dvddisc/HVDVD_TS/LOST.MAP" clipTimeBegin="00:00:00:00">
        <Video track="1" mediaAttr="1"/>
        <Audio track="1" streamNumber="1" mediaAttr="1" langcode="ja:00" description="Japanese"/>
      </PrimaryAudioVideoClip>
    </Title>
  </TitleSet>
</Playlist>
)";
    return text;
}

void writeTitleDisc(const std::filesystem::path& root) {
    std::filesystem::create_directories(root / "HVDVD_TS");
    std::filesystem::create_directories(root / "ADV_OBJ");
    std::uint32_t seed = 1;
    for (const auto& clip : kTitleDiscClips)
        writeFile((root / "HVDVD_TS" / clip.evo).string(), clipBytes(clip, seed++));
    writeTextFile((root / "ADV_OBJ/VPLST000.XPL").string(), titleDiscPlaylist());
    writeTextFile((root / "ADV_OBJ/VPLST001.XPL").string(), kOtherPlaylist);
}

}  // namespace tarnwell::testing
