#include "sample_playlist.h"

namespace tarnwell::sample {

std::string samplePlaylist() {
    // Written the way authoring tools write playlists: an XML declaration, comments, and
    // long tags broken over several lines (with tabs and CR LF) that the reader folds back.
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<!-- Playlist of the Tarnwell sample disc -->
<Playlist xmlns="http://www.dvdforum.org/2005/HDDVDVideo/Playlist" majorVersion="1" minorVersion="0" displayName="TARNWELL SAMPLE DISC">
  <Configuration>
    <StreamingBuffer size="0"/>
    <Aperture size="1920x1080"/>
    <MainVideoDefaultColor color="108080"/>
  </Configuration>
  <MediaAttributeList>
    <VideoAttributeItem index="1" codec="VC-1" sampleAspectRatio="16:9" horizontalResolution="1920" verticalResolution="1080" encodedFrameRate="24" sourceFrameRate="24" activeAreaX1="0" activeAreaY1="0" activeAreaX2="1919" activeAreaY2="1079"/>
    <VideoAttributeItem index="2" codec="MPEG-2" sampleAspectRatio="16:9" horizontalResolution="1920" verticalResolution="1080" encodedFrameRate="24" sourceFrameRate="24"/>
    <AudioAttributeItem index="1" codec="DD+" sampleFrequency="48" sampleDepth="16" channels="6" bitrate="640"/>
    <AudioAttributeItem index="2" codec="DTS-HD" sampleFrequency="48" sampleDepth="24" channels="6" bitrate="1509"/>
    <AudioAttributeItem index="3" codec="DD" sampleFrequency="48" sampleDepth="16" channels="2" bitrate="192"/>
    <SubpictureAttributeItem index="1" codec="2bitRLC"/>
    <SubpictureAttributeItem index="2" codec="8bitRLC"/>
  </MediaAttributeList>
  <TitleSet timeBase="24fps" defaultLanguage="en">
    <FirstPlayTitle titleDuration="00:00:05:00">
      <ApplicationSegment src="file:///dvddisc/ADV_OBJ/STARTUP.XMF" titleTimeBegin="00:00:00:00" titleTimeEnd="00:00:05:00" zOrder="0" language="en"/>
    </FirstPlayTitle>
    <Title id="TRAILER" titleNumber="1" displayName="Theatrical Trailer" titleDuration="00:02:24:00" type="Original" onEnd="FEATURE_TITLE">
      <PrimaryAudioVideoClip dataSource="Disc" titleTimeBegin="00:00:00:00" titleTimeEnd="00:02:24:00" src="file:///dvddisc/HVDVD_TS/TRAILER.MAP" clipTimeBegin="00:00:00:00">
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
           R"(titleDuration="01:37:12:08" type="Original")"
           "\r\n\t"
           R"(onEnd="TRAILER">
      <PrimaryAudioVideoClip dataSource="Disc" titleTimeBegin="00:00:00:00" titleTimeEnd="00:52:30:00" src="file:///dvddisc/HVDVD_TS/FEATURE_1.MAP" clipTimeBegin="00:00:00:00">
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
      <PrimaryAudioVideoClip dataSource="Disc" titleTimeBegin="00:52:30:00" titleTimeEnd="01:37:12:08")"
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
        <Chapter titleTimeBegin="00:12:40:00" displayName="The Harbour"/>
        <Chapter titleTimeBegin="00:31:05:12")"
           "\n\t  "
           R"(displayName="Night Crossing"/>
        <Chapter titleTimeBegin="00:52:30:00" displayName="Second Reel"/>
        <Chapter titleTimeBegin="01:20:00:00" displayName="Homecoming"/>
        <Chapter titleTimeBegin="01:33:50:00" displayName="End Credits"/>
      </ChapterList>
    </Title>
    <Title id="BONUS" titleNumber="3" displayName="Behind the Scenes" titleDuration="00:14:02:00" type="Original">
      <PrimaryAudioVideoClip dataSource="Disc" titleTimeBegin="00:00:00:00" titleTimeEnd="00:14:02:00" src="file:///dvddisc/HVDVD_TS/BONUS.MAP" clipTimeBegin="00:00:00:00">
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
