#include "support/reference_model.h"

#include <algorithm>

namespace tarnwell::reference {

namespace {

constexpr std::int64_t kBlock = 32768;
constexpr std::int64_t kMiB = 1048576;

enum Kind : std::uint8_t {
    kVideo = 0,
    kAudio = 1,
    kDiscard = 2,
    kSkip = 3,
    kMpegAudio = 4,
    kPrivate1 = 5,
    kSubpicture = 6,
    kNoKind = 8
};
enum Codec : std::uint8_t { kMpeg2 = 0, kH264 = 1, kVc1 = 2 };
enum Class : std::uint8_t { kDD = 0, kDDPlus = 1, kDTSHD = 2, kLPCM = 3, kMLP = 4 };

class Model {
  public:
    Model(const ModelOptions& options) : o_(options) {
        r_.videoIds.fill(-1);
        r_.audioIds.fill(-1);
        r_.subIds.fill(-1);
    }

    ModelResult run(const Bytes& file) {
        const std::int64_t size = static_cast<std::int64_t>(file.size());
        std::int64_t pos = 0;
        bool cancel = false;
        while (pos < size && !cancel) {
            const std::int64_t n = std::min(kBlock, size - pos);
            const std::uint8_t* block = file.data() + pos;
            pos += n;
            if (pos % (4 * kMiB) == 0)
                r_.progress.push_back(std::string(o_.mode == 1 ? "Demuxing " : "Reading ") +
                                      o_.fileName + " " + std::to_string(pos / kMiB) + "/" +
                                      std::to_string(size / kMiB) +
                                      " Mbytes, Remaining time: " + o_.remaining);
            if (pos % (4 * kMiB) == 0 &&
                static_cast<int>(r_.progress.size()) == o_.cancelAtProgress)
                cancel = true;
            if (o_.mode == 0 && o_.fastCheck && pos > 300000000) cancel = true;
            if (pos == kBlock && block[16] == 0x01 && block[17] == 0xBB) {
                const int v = block[24] & 0x1F;
                const int a = block[23] >> 2;
                std::string line = "It contains " + std::to_string(v) + " video stream";
                if (v > 1) line += "s";
                line += " and " + std::to_string(a) + " audio stream";
                line += a > 1 ? "s." : ".";
                r_.lines.push_back(line);
            }
            parseBlock(block, n);
        }
        if (cancel) r_.frames = {0, 0};
        r_.cancelled = cancel;
        return r_;
    }

  private:
    void parseBlock(const std::uint8_t* buf, std::int64_t n) {
        std::int64_t i = 0;
        while (i < n) {
            window = (window << 8) | buf[i];
            if (inPayload) {
                if (packetLeft <= 0) {
                    // No payload: the same byte comes round again as an ordinary byte.
                    packetLeft = 0;
                    inPayload = false;
                    continue;
                }
                const std::int64_t chunk = std::min<std::int64_t>(packetLeft, n - i);
                handOver(buf + i, chunk);
                packetLeft -= static_cast<std::int32_t>(chunk);
                if (packetLeft == 0) inPayload = false;
                i += chunk;
            } else {
                step(buf[i]);
                ++i;
            }
        }
    }

    bool ticked(char group, int number) const {
        return std::find(o_.ticked.begin(), o_.ticked.end(), Slot{group, number}) !=
               o_.ticked.end();
    }

    void handOver(const std::uint8_t* chunk, std::int64_t length) {
        if (o_.countFrames && kind == kVideo && (videoNo == 0 || videoNo == 1) &&
            (o_.mode == 0 || ticked('v', videoNo))) {
            const std::uint32_t code = codec == kMpeg2 ? 0x100u : codec == kH264 ? 0x109u : 0x10Du;
            std::uint32_t w = 0;
            for (std::int64_t k = 0; k < length; ++k) {
                w = (w << 8) | chunk[k];
                if (w == code) ++r_.frames[videoNo];
            }
        }
        if (o_.mode == 0) return;
        if (kind == kVideo) {
            if ((videoNo == 0 || videoNo == 1) && ticked('v', videoNo))
                r_.outputs[{'v', videoNo}].insert(r_.outputs[{'v', videoNo}].end(), chunk,
                                                  chunk + length);
        } else if (kind == kAudio || kind == kMpegAudio) {
            if (audioNo >= 0 && audioNo <= 15 && ticked('a', audioNo))
                r_.outputs[{'a', audioNo}].insert(r_.outputs[{'a', audioNo}].end(), chunk,
                                                  chunk + length);
        } else if (kind == kSubpicture) {
            if (subNo >= 0 && subNo <= 15 && ticked('s', subNo)) {
                r_.outputs[{'s', subNo}].insert(r_.outputs[{'s', subNo}].end(), chunk,
                                                chunk + length);
                if (timeStamp != 0) {
                    Bytes& out = r_.pts[subNo];
                    out.push_back(static_cast<std::uint8_t>(timeStamp & 0xFF));
                    out.push_back(static_cast<std::uint8_t>((timeStamp >> 8) & 0xFF));
                    out.push_back(static_cast<std::uint8_t>((timeStamp >> 16) & 0xFF));
                    out.push_back(static_cast<std::uint8_t>((timeStamp >> 24) & 0xFF));
                    timeStamp = 0;
                }
            }
        }
    }

    static bool isStartCode(std::uint32_t w) {
        return (w >= 0x1E0 && w <= 0x1E3) || w == 0x1FD || (w >= 0x1C0 && w <= 0x1CF) ||
               w == 0x1BC || w == 0x1BE || w == 0x1BF || w == 0x1BD;
    }

    void headerEnds() {
        if (kind == kPrivate1)
            subHeaderLeft = 4;
        else
            inPayload = true;
    }

    void afterTimeStamps() {
        if (headerLeft == 0)
            headerEnds();
        else if (kind == kVideo && (flags2 & 1) != 0)
            extFlagsLeft = 1;
    }

    void step(std::uint8_t b) {
        // 1
        if (skipLeft > 0) {
            packetLeft = packetLeft - 1;
            skipLeft = skipLeft - 1;
            return;
        }
        // 2
        if (isStartCode(window)) {
            if (b >= 0xE0 && b <= 0xE3) {
                videoNo = b & 1;
                if (r_.videoIds[videoNo] == -1) {
                    r_.videoIds[videoNo] = b;
                    if (o_.mode == 0)
                        r_.lines.push_back(std::string(b <= 0xE1 ? "MPEG-2" : "H.264") +
                                           " video stream " + std::to_string(videoNo) + " found!");
                }
                codec = b <= 0xE1 ? kMpeg2 : kH264;
                kind = kVideo;
            } else if (b == 0xFD) {
                codec = kVc1;
                kind = kVideo;
            } else if (b >= 0xC0 && b <= 0xCF) {
                kind = kMpegAudio;
            } else if (b == 0xBC || b == 0xBE || b == 0xBF) {
                kind = kSkip;
            } else {
                kind = kPrivate1;
            }
            lengthLeft = 2;
            return;
        }
        // 3
        if (lengthLeft == 2) {
            lengthLeft = 1;
            return;
        }
        // 4
        if (lengthLeft == 1) {
            lengthLeft = 0;
            packetLeft = static_cast<std::int32_t>(window & 0xFFFF);
            if (kind == kSkip)
                skipLeft = packetLeft;
            else
                fixedLeft = 3;
            return;
        }
        // 5
        if (fixedLeft > 0) {
            packetLeft = packetLeft - 1;
            fixedLeft = static_cast<std::uint8_t>(fixedLeft - 1);
            const int place = 3 - fixedLeft;
            if (place == 2) flags2 = b;
            if (place == 3) {
                headerLeft = b;
                if ((flags2 & 0xC0) == 0x80) ptsLeft = 5;
                if ((flags2 & 0xC0) == 0xC0) ptsDtsLeft = 10;
                if ((flags2 & 0xC1) == 0x01) extFlagsLeft = 1;
                if (headerLeft == 0) headerEnds();
            }
            return;
        }
        // 6
        if (ptsLeft > 0) {
            packetLeft = packetLeft - 1;
            headerLeft = static_cast<std::uint8_t>(headerLeft - 1);
            ptsLeft = ptsLeft - 1;
            const int place = 5 - ptsLeft;
            const std::uint32_t v = b;
            if (place == 1) ptsAccu = (v & 0x06) << 29;
            if (place == 2) ptsAccu = ptsAccu | (v << 22);
            if (place == 3) ptsAccu = ptsAccu | ((v & 0xFE) << 14);
            if (place == 4) ptsAccu = ptsAccu | (v << 7);
            if (place == 5) {
                ptsAccu = ptsAccu | ((v & 0xFE) >> 1);
                timeStamp = ptsAccu;
                afterTimeStamps();
            }
            return;
        }
        // 7
        if (ptsDtsLeft > 0) {
            packetLeft = packetLeft - 1;
            headerLeft = static_cast<std::uint8_t>(headerLeft - 1);
            ptsDtsLeft = ptsDtsLeft - 1;
            if (ptsDtsLeft == 0) afterTimeStamps();
            return;
        }
        // 8
        if (extFlagsLeft > 0) {
            packetLeft = packetLeft - 1;
            headerLeft = static_cast<std::uint8_t>(headerLeft - 1);
            extFlagsLeft = extFlagsLeft - 1;
            extFlags = b;
            if ((b & 0x10) != 0)
                pstdLeft = 2;
            else if ((b & 0x01) != 0)
                ext2Left = 2;
            else if (headerLeft == 0)
                headerEnds();
            return;
        }
        // 9
        if (pstdLeft > 0) {
            packetLeft = packetLeft - 1;
            headerLeft = static_cast<std::uint8_t>(headerLeft - 1);
            pstdLeft = pstdLeft - 1;
            if (pstdLeft == 0) {
                if ((extFlags & 0x01) != 0)
                    ext2Left = 2;
                else if (headerLeft == 0)
                    headerEnds();
            }
            return;
        }
        // 10
        if (ext2Left > 0) {
            packetLeft = packetLeft - 1;
            headerLeft = static_cast<std::uint8_t>(headerLeft - 1);
            ext2Left = ext2Left - 1;
            if (ext2Left == 0) {
                const int ext = b & 0x7F;
                if (ext == 0x55 || ext == 0x56) {
                    videoNo = ext - 0x55;
                    if (r_.videoIds[videoNo] == -1) {
                        r_.videoIds[videoNo] = ext;
                        if (o_.mode == 0)
                            r_.lines.push_back("VC-1 video stream " + std::to_string(videoNo) +
                                               " found!");
                    }
                    kind = kVideo;
                } else {
                    kind = kDiscard;
                }
                if (headerLeft == 0) headerEnds();
            }
            return;
        }
        // 11
        if (headerLeft > 0) {
            packetLeft = packetLeft - 1;
            headerLeft = static_cast<std::uint8_t>(headerLeft - 1);
            if (headerLeft == 0) headerEnds();
            return;
        }
        // 12
        if (subHeaderLeft > 0) {
            packetLeft = packetLeft - 1;
            subHeaderLeft = static_cast<std::uint8_t>(subHeaderLeft - 1);
            if (subHeaderLeft == 3) {
                if ((b & 0xE0) == 0x20 || (b & 0xE0) == 0x60) {
                    subNo = b & 0x1F;
                    if (r_.subIds[subNo] == -1) {
                        r_.subIds[subNo] = b;
                        if (o_.mode == 0)
                            r_.lines.push_back(std::string((b & 0xE0) == 0x20
                                                               ? "Subpicture"
                                                               : "Extended subpicture") +
                                               " stream " + std::to_string(subNo) + " found!");
                    }
                    subHeaderLeft = 0;
                    kind = kSubpicture;
                    inPayload = true;
                }
            } else if (subHeaderLeft == 0) {
                classifyAudio(static_cast<int>(window >> 24));
            }
            return;
        }
        // 13
        if (lpcmLeft > 0) {
            packetLeft = packetLeft - 1;
            lpcmLeft = static_cast<std::uint8_t>(lpcmLeft - 1);
            if (lpcmLeft == 0) {
                kind = kAudio;
                inPayload = true;
            }
            return;
        }
        // 14
        if (mlpLeft > 0) {
            packetLeft = packetLeft - 1;
            mlpLeft = mlpLeft - 1;
            if (mlpLeft == 0) {
                kind = kAudio;
                inPayload = true;
            }
            return;
        }
        // 15: between packets
    }

    void classifyAudio(int id) {
        audioNo = id & 0x0F;
        const char* name = nullptr;
        if (id >= 0x80 && id <= 0x87) {
            audioNo = id & 7;
            audioClass = kDD;
            name = "DD";
        } else if (id >= 0x88 && id <= 0x8F) {
            audioNo = id & 7;
            audioClass = kDTSHD;
            name = "DTS HD";
        } else if (id >= 0xC0 && id <= 0xCF) {
            audioNo = id & 0xF;
            audioClass = kDDPlus;
            name = "DD+";
        } else if (id >= 0xA0 && id <= 0xA7) {
            audioNo = id & 0xF;
            audioClass = kLPCM;
            name = "LPCM";
        } else if (id >= 0xB0 && id <= 0xB7) {
            audioNo = id & 7;
            audioClass = kMLP;
            name = "MLP";
        }
        if (name != nullptr) {
            lastAudioId = id;
            if (r_.audioIds[audioNo] < 0) {
                r_.audioIds[audioNo] = id;
                if (o_.mode == 0)
                    r_.lines.push_back(std::string(name) + " audio stream " +
                                       std::to_string(audioNo) + " found!");
            }
        }
        if (audioClass == kMLP) {
            if (id == (audioNo | 0xB0)) {
                mlpLeft = 1;
            } else {
                kind = kDiscard;
                inPayload = true;
            }
        } else if (audioClass == kLPCM) {
            if (id == (audioNo | 0xA0)) {
                lpcmLeft = 3;
            } else {
                kind = kDiscard;
                inPayload = true;
            }
        } else {
            kind = id == (audioNo | lastAudioId) ? kAudio : kDiscard;
            inPayload = true;
        }
        timeStamp = 0;
    }

    const ModelOptions& o_;
    ModelResult r_;

    std::uint32_t window = 0;
    std::uint8_t kind = kNoKind;
    bool inPayload = false;
    std::int32_t packetLeft = 0;
    std::uint8_t lengthLeft = 0;
    std::int32_t skipLeft = 0;
    std::uint8_t fixedLeft = 0;
    std::uint8_t flags2 = 0;
    std::uint8_t headerLeft = 0;
    std::int32_t ptsLeft = 0;
    std::int32_t ptsDtsLeft = 0;
    std::int32_t extFlagsLeft = 0;
    std::uint8_t extFlags = 0;
    std::int32_t pstdLeft = 0;
    std::int32_t ext2Left = 0;
    std::uint8_t subHeaderLeft = 0;
    std::uint8_t lpcmLeft = 0;
    std::int32_t mlpLeft = 0;
    std::uint32_t ptsAccu = 0;
    std::uint32_t timeStamp = 0;
    std::int32_t videoNo = -1;
    std::int32_t audioNo = -1;
    std::int32_t subNo = -1;
    std::uint8_t codec = kMpeg2;
    std::uint8_t audioClass = kDD;
    std::int32_t lastAudioId = 0;
};

}  // namespace

ModelResult runModel(const Bytes& file, const ModelOptions& options) {
    return Model(options).run(file);
}

}  // namespace tarnwell::reference
