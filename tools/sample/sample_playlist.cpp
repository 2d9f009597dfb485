#include "sample_playlist.h"

namespace tarnwell::sample {

std::string samplePlaylist() {
    // Written the way authoring tools write playlists: an XML declaration, comments, and
    // long tags broken over several lines (with tabs and CR LF) that the reader folds back.
    // No title id holds an EVO file's name: Read XPL takes the title around the first line
    // that names the EVO file, looking back from the line before it.
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<!-- Playlist of the Tarnwell sample disc -->
<Playlist xmlns="http://www.dvdforum.org/2005/HDDVDVideo/Playlist" majorVersion="1" minorVersion="0" displayName="TARNWELL SAMPLE DISC">
  <Configuration>
    <StreamingBuffer size="0"/>
    <Aperture size="1920x1080"/>
    <MainVideoDefaultColor color="108080"/>
  </Configuration>
  <MediaAttributeList>
    <VideoAttributeItem index="1" codec="H.264" sampleAspectRatio="16:9" horizontalResolution="1920" verticalResolution="1080" encodedFrameRate="24" sourceFrameRate="24" activeAreaX1="0" activeAreaY1="0" activeAreaX2="1919" activeAreaY2="1079"/>
    <VideoAttributeItem index="2" codec="MPEG-2" sampleAspectRatio="16:9" horizontalResolution="1920" verticalResolution="1080" encodedFrameRate="24" sourceFrameRate="24"/>
    <AudioAttributeItem index="1" codec="DD+" sampleFrequency="48" sampleDepth="16" channels="6" bitrate="96"/>
    <AudioAttributeItem index="2" codec="LPCM" sampleFrequency="48" sampleDepth="16" channels="2" bitrate="1536"/>
    <AudioAttributeItem index="3" codec="DD" sampleFrequency="48" sampleDepth="16" channels="2" bitrate="96"/>
    <SubpictureAttributeItem index="1" codec="2bitRLC"/>
    <SubpictureAttributeItem index="2" codec="8bitRLC"/>
  </MediaAttributeList>
  <TitleSet timeBase="24fps" defaultLanguage="en">
    <FirstPlayTitle titleDuration="00:00:05:00">
      <ApplicationSegment src="file:///dvddisc/ADV_OBJ/STARTUP.XMF" titleTimeBegin="00:00:00:00" titleTimeEnd="00:00:05:00" zOrder="0" language="en"/>
    </FirstPlayTitle>
    <Title id="PREVIEW_TITLE" titleNumber="1" displayName="Theatrical Trailer" titleDuration="00:00:05:00" type="Original" onEnd="FEATURE_TITLE">
      <PrimaryAudioVideoClip dataSource="Disc" titleTimeBegin="00:00:00:00" titleTimeEnd="00:00:05:00" src="file:///dvddisc/HVDVD_TS/TRAILER.MAP" clipTimeBegin="00:00:00:00">
        <Video track="1" mediaAttr="2"/>
        <Audio track="1" streamNumber="1" mediaAttr="3" langcode="en:00" description="English"/>
      </PrimaryAudioVideoClip>
      <ChapterList>
        <Chapter titleTimeBegin="00:00:00:00" displayName="Trailer"/>
      </ChapterList>
    </Title>
    <!-- The feature is split over two EVO files that play one after the other -->
    <Title id="FEATURE_TITLE" titleNumber="2" displayName="Feature")"
           "\r\n\t"
           R"(titleDuration="00:00:40:00" type="Original")"
           "\r\n\t"
           R"(onEnd="PREVIEW_TITLE">
      <PrimaryAudioVideoClip dataSource="Disc" titleTimeBegin="00:00:00:00" titleTimeEnd="00:00:24:00" src="file:///dvddisc/HVDVD_TS/FEATURE_1.MAP" clipTimeBegin="00:00:00:00">
        <Video track="1" mediaAttr="1"/>
        <Audio track="1" streamNumber="1" mediaAttr="1" langcode="en:00" description="English"/>
        <Audio)"
           "\n\t\t"
           R"(track="2" streamNumber="2" mediaAttr="2" langcode="en:01")"
           "\n\t\t"
           R"(description="Commentary"/>
        <Subtitle track="1" streamNumber="1" mediaAttr="1" langcode="en:00" description="English"/>
        <Subtitle track="2" streamNumber="2" mediaAttr="1" langcode="fr:00" description="French"/>
      </PrimaryAudioVideoClip>
      <PrimaryAudioVideoClip dataSource="Disc" titleTimeBegin="00:00:24:00" titleTimeEnd="00:00:40:00")"
           "\n\t"
           R"(src="file:///dvddisc/HVDVD_TS/FEATURE_2.MAP" clipTimeBegin="00:00:00:00">
        <Video track="1" mediaAttr="1"/>
        <Audio track="1" streamNumber="1" mediaAttr="1" langcode="en:00" description="English"/>
        <Audio track="2" streamNumber="2" mediaAttr="2" langcode="en:01" description="Commentary"/>
        <Subtitle track="1" streamNumber="1" mediaAttr="1" langcode="en:00" description="English"/>
        <Subtitle track="2" streamNumber="2" mediaAttr="1" langcode="fr:00" description="French"/>
      </PrimaryAudioVideoClip>
      <ChapterList>
        <Chapter titleTimeBegin="00:00:00:00" displayName="Opening Titles"/>
        <Chapter titleTimeBegin="00:00:10:00" displayName="The Harbour"/>
        <Chapter titleTimeBegin="00:00:18:12")"
           "\n\t  "
           R"(displayName="Night Crossing"/>
        <Chapter titleTimeBegin="00:00:24:00" displayName="Second Reel"/>
        <Chapter titleTimeBegin="00:00:30:00" displayName="Homecoming"/>
        <Chapter titleTimeBegin="00:00:36:00" displayName="End Credits"/>
      </ChapterList>
    </Title>
    <Title id="EXTRAS_TITLE" titleNumber="3" displayName="Behind the Scenes" titleDuration="00:00:06:00" type="Original">
      <PrimaryAudioVideoClip dataSource="Disc" titleTimeBegin="00:00:00:00" titleTimeEnd="00:00:06:00" src="file:///dvddisc/HVDVD_TS/BONUS.MAP" clipTimeBegin="00:00:00:00">
        <Video track="1" mediaAttr="2"/>
        <Audio track="1" streamNumber="1" mediaAttr="3" langcode="en:00" description="English"/>
      </PrimaryAudioVideoClip>
      <ChapterList>
        <Chapter titleTimeBegin="00:00:00:00" displayName="Behind the Scenes"/>
      </ChapterList>
    </Title>
  </TitleSet>
</Playlist>
)";
}

}  // namespace tarnwell::sample
