#include "selection/stream_selection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

namespace tarnwell {
namespace {

struct CaptionCase {
    std::string (*caption)(std::int32_t);
    std::int32_t code;
    const char* expected;
};

TEST(TypeCaptions, RangesAndBoundaries) {
    const CaptionCase cases[] = {
        {VideoTypeCaption, -1, "No video stream"},  {VideoTypeCaption, 0x54, ""},
        {VideoTypeCaption, 0x55, "VC-1.stream"},    {VideoTypeCaption, 0x56, "VC-1.stream"},
        {VideoTypeCaption, 0x57, ""},               {VideoTypeCaption, 0xDF, ""},
        {VideoTypeCaption, 0xE0, "MPEG-2.stream"},  {VideoTypeCaption, 0xE1, "MPEG-2.stream"},
        {VideoTypeCaption, 0xE2, "H.264.stream"},   {VideoTypeCaption, 0xE3, "H.264.stream"},
        {VideoTypeCaption, 0xE4, ""},               {VideoTypeCaption, 1, ""},
        {AudioTypeCaption, -1, "No audio stream"},  {AudioTypeCaption, 0x7F, ""},
        {AudioTypeCaption, 0x80, "DD.stream"},      {AudioTypeCaption, 0x87, "DD.stream"},
        {AudioTypeCaption, 0x88, "DTSHD.stream"},   {AudioTypeCaption, 0x8F, "DTSHD.stream"},
        {AudioTypeCaption, 0x90, ""},               {AudioTypeCaption, 0x9F, ""},
        {AudioTypeCaption, 0xA0, "LPCM.stream"},    {AudioTypeCaption, 0xA7, "LPCM.stream"},
        {AudioTypeCaption, 0xA8, ""},               {AudioTypeCaption, 0xB0, "MLP.stream"},
        {AudioTypeCaption, 0xB7, "MLP.stream"},     {AudioTypeCaption, 0xB8, ""},
        {AudioTypeCaption, 0xBF, ""},               {AudioTypeCaption, 0xC0, "DD+.stream"},
        {AudioTypeCaption, 0xCF, "DD+.stream"},     {AudioTypeCaption, 0xD0, ""},
        {SubTypeCaption, -1, "No subpicture stream"}, {SubTypeCaption, 0x1F, ""},
        {SubTypeCaption, 0x20, "Subpicture"},       {SubTypeCaption, 0x2F, "Subpicture"},
        {SubTypeCaption, 0x30, ""},                 {SubTypeCaption, 0x5F, ""},
        {SubTypeCaption, 0x60, "Ext.Subpicture"},   {SubTypeCaption, 0x6F, "Ext.Subpicture"},
        {SubTypeCaption, 0x70, ""},                 {SubTypeCaption, -2, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.caption(c.code), c.expected) << "code 0x" << std::hex << c.code;
}

// Records every notification in order, as a view and the Demux rule would see them.
class Recorder : public SelectionObserver {
public:
    explicit Recorder(const StreamSelection& s) : selection(s) {}
    void slotChanged(SlotKind kind, int n, SlotField field) override {
        changes.emplace_back(kind, n, field);
    }
    void cbVideoClick() override {
        ++clicks;
        demuxEnabled = selection.AnyChecked();
    }
    const StreamSelection& selection;
    std::vector<std::tuple<SlotKind, int, SlotField>> changes;
    int clicks = 0;
    bool demuxEnabled = false;
};

TEST(StreamSelection, DesignStateThenResetCaptions) {
    StreamSelection s;
    EXPECT_EQ(s.Caption(SlotKind::Video, 7), "Video stream");
    EXPECT_EQ(s.Caption(SlotKind::Audio, 0), "Audio stream");
    EXPECT_EQ(s.Caption(SlotKind::Subpicture, 15), "Subpicture");
    EXPECT_EQ(s.slot(SlotKind::Subpicture, 0).Hint, "");
    EXPECT_EQ(s.slot(SlotKind::Subpicture, 1).Hint, "Check the desired subpicture streams");
    EXPECT_FALSE(s.AnyChecked());

    s.Resetcbs();
    EXPECT_EQ(s.Caption(SlotKind::Video, 3), "No video stream");
    EXPECT_EQ(s.Caption(SlotKind::Audio, 15), "No audio stream");
    EXPECT_EQ(s.Caption(SlotKind::Subpicture, 0), "No subpicture");
}

TEST(StreamSelection, FillFromStreamTableCaptionsAndDemuxRule) {
    StreamSelection s;
    Recorder recorder(s);
    s.addObserver(&recorder);
    s.Resetcbs();

    StreamTable table;
    table.VideoIds[0] = 0xE0;
    table.AudioIds[2] = 0xC2;
    table.SubIds[1] = 0x21;
    table.SubIds[12] = 0x6C;
    table.VideoIds[3] = 0xE1;  // no slot is filled beyond video 1
    s.FillFromStreamTable(table);

    EXPECT_EQ(s.Caption(SlotKind::Video, 0), "MPEG-2.stream.0");
    EXPECT_EQ(s.Caption(SlotKind::Audio, 2), "DD+.stream.02");
    EXPECT_EQ(s.Caption(SlotKind::Subpicture, 1), "Subpicture.01");
    EXPECT_EQ(s.Caption(SlotKind::Subpicture, 12), "Ext.Subpicture.12");
    EXPECT_EQ(s.Caption(SlotKind::Video, 1), "No video stream");
    EXPECT_FALSE(s.slot(SlotKind::Video, 3).Enabled);
    EXPECT_EQ(s.Caption(SlotKind::Video, 3), "No video stream");
    for (auto [kind, n] : {std::pair{SlotKind::Video, 0}, {SlotKind::Audio, 2},
                           {SlotKind::Subpicture, 1}, {SlotKind::Subpicture, 12}}) {
        EXPECT_TRUE(s.slot(kind, n).Enabled);
        EXPECT_TRUE(s.IsChecked(kind, n));
    }
    EXPECT_EQ(recorder.clicks, 4);
    EXPECT_TRUE(recorder.demuxEnabled);

    // A second scan that finds nothing unchecks them again and the rule disables Demux.
    s.Resetcbs();
    s.FillFromStreamTable(StreamTable{});
    EXPECT_FALSE(s.AnyChecked());
    EXPECT_FALSE(recorder.demuxEnabled);
    EXPECT_EQ(recorder.clicks, 8);
    EXPECT_EQ(s.Caption(SlotKind::Audio, 2), "No audio stream");
    EXPECT_EQ(s.Caption(SlotKind::Subpicture, 1), "No subpicture");
}

TEST(StreamSelection, CheckedRuleRunsOnlyOnRealChange) {
    StreamSelection s;
    Recorder recorder(s);
    s.addObserver(&recorder);

    s.click(SlotKind::Audio, 4);  // disabled: ignored
    EXPECT_EQ(recorder.clicks, 0);
    EXPECT_FALSE(s.IsChecked(SlotKind::Audio, 4));

    s.setEnabled(SlotKind::Audio, 4, true);
    s.click(SlotKind::Audio, 4);
    EXPECT_TRUE(recorder.demuxEnabled);
    s.setChecked(SlotKind::Audio, 4, true);  // unchanged: no rule
    EXPECT_EQ(recorder.clicks, 1);
    s.click(SlotKind::Audio, 4);  // the last checked slot: Demux off
    EXPECT_FALSE(recorder.demuxEnabled);
    EXPECT_EQ(recorder.clicks, 2);

    // Every field change reaches the view, once.
    EXPECT_EQ(std::count_if(recorder.changes.begin(), recorder.changes.end(),
                            [](const auto& c) { return std::get<2>(c) == SlotField::Checked; }),
              2);
}

TEST(StreamSelection, MarkFromPlaylistSetsHintExceptForVideo) {
    StreamSelection s;
    Recorder recorder(s);
    s.addObserver(&recorder);
    s.MarkFromPlaylist(SlotKind::Video, 0, "VC-1.stream.0");
    s.MarkFromPlaylist(SlotKind::Audio, 9, "DD+.6ch.stream.09.English");
    EXPECT_EQ(s.Caption(SlotKind::Video, 0), "VC-1.stream.0");
    EXPECT_EQ(s.slot(SlotKind::Video, 0).Hint, "");
    EXPECT_EQ(s.slot(SlotKind::Audio, 9).Hint, "DD+.6ch.stream.09.English");
    EXPECT_TRUE(s.slot(SlotKind::Audio, 9).Enabled);
    EXPECT_EQ(recorder.clicks, 2);
    // Marking an already checked slot changes only caption and hint.
    s.MarkFromPlaylist(SlotKind::Audio, 9, "DD.stream.09.French");
    EXPECT_EQ(recorder.clicks, 2);
    EXPECT_EQ(s.Caption(SlotKind::Audio, 9), "DD.stream.09.French");
}

TEST(StreamSelection, ResetLeavesCheckedAndHintAlone) {
    StreamSelection s;
    StreamTable table;
    table.AudioIds[0] = 0x80;
    s.FillFromStreamTable(table);
    s.MarkFromPlaylist(SlotKind::Subpicture, 3, "Sub.stream.03.English");
    s.Resetcbs();
    EXPECT_TRUE(s.IsChecked(SlotKind::Audio, 0));
    EXPECT_FALSE(s.slot(SlotKind::Audio, 0).Enabled);
    EXPECT_EQ(s.Caption(SlotKind::Audio, 0), "No audio stream");
    EXPECT_EQ(s.slot(SlotKind::Subpicture, 3).Hint, "Sub.stream.03.English");
    EXPECT_TRUE(s.AnyChecked());
}

TEST(StreamSelection, OutOfRangeSlotsReadUnchecked) {
    StreamSelection s;
    EXPECT_FALSE(s.IsChecked(SlotKind::Video, 8));
    EXPECT_FALSE(s.IsChecked(SlotKind::Audio, -1));
    EXPECT_FALSE(s.IsChecked(SlotKind::Subpicture, 16));
    EXPECT_THROW(s.setChecked(SlotKind::Audio, 16, true), std::out_of_range);
}

}  // namespace
}  // namespace tarnwell
