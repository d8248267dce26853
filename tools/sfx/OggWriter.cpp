// The OGG Vorbis writer.
#include "OggWriter.h"

#include <sys/stat.h>
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace sfx {

namespace {

bool MakeDirs(const std::string& path) {
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') {
      std::string part = path.substr(0, i);
      mkdir(part.c_str(), 0755);
    }
  }
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

bool WriteOgg(const std::string& path, const Mono& l, const Mono* r, float quality) {
  const int channels = r ? 2 : 1;
  std::string dir = path.substr(0, path.find_last_of('/'));
  if (!MakeDirs(dir)) {
    std::fprintf(stderr, "zt_sfx: cannot create %s\n", dir.c_str());
    return false;
  }
  std::string tmp = path + ".tmp";
  FILE* f = std::fopen(tmp.c_str(), "wb");
  if (!f) {
    std::fprintf(stderr, "zt_sfx: cannot write %s\n", path.c_str());
    return false;
  }
  vorbis_info vi;
  vorbis_info_init(&vi);
  if (vorbis_encode_init_vbr(&vi, channels, kRate, quality) != 0) {
    vorbis_info_clear(&vi);
    std::fclose(f);
    return false;
  }
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  vorbis_comment_add_tag(&vc, "ENCODER", "zt_sfx");
  vorbis_dsp_state vd;
  vorbis_block vb;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block_init(&vd, &vb);
  ogg_stream_state os;
  ogg_stream_init(&os, 0x5A54);
  ogg_packet header, headerComm, headerCode;
  vorbis_analysis_headerout(&vd, &vc, &header, &headerComm, &headerCode);
  ogg_stream_packetin(&os, &header);
  ogg_stream_packetin(&os, &headerComm);
  ogg_stream_packetin(&os, &headerCode);
  ogg_page og;
  bool ok = true;
  while (ogg_stream_flush(&os, &og) != 0) {
    ok &= std::fwrite(og.header, 1, static_cast<size_t>(og.header_len), f) ==
          static_cast<size_t>(og.header_len);
    ok &= std::fwrite(og.body, 1, static_cast<size_t>(og.body_len), f) == static_cast<size_t>(og.body_len);
  }
  const size_t chunk = 4096;
  size_t pos = 0;
  bool eos = false;
  while (!eos) {
    size_t n = std::min(chunk, l.size() - pos);
    if (n > 0) {
      float** buf = vorbis_analysis_buffer(&vd, static_cast<int>(n));
      for (size_t i = 0; i < n; ++i) {
        buf[0][i] = std::clamp(l[pos + i], -1.0f, 1.0f);
        if (r) buf[1][i] = std::clamp((*r)[pos + i], -1.0f, 1.0f);
      }
    }
    // A zero-length write marks the end of the stream.
    vorbis_analysis_wrote(&vd, static_cast<int>(n));
    pos += n;
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
      vorbis_analysis(&vb, nullptr);
      vorbis_bitrate_addblock(&vb);
      ogg_packet op;
      while (vorbis_bitrate_flushpacket(&vd, &op)) {
        ogg_stream_packetin(&os, &op);
        while (ogg_stream_pageout(&os, &og) != 0) {
          ok &= std::fwrite(og.header, 1, static_cast<size_t>(og.header_len), f) ==
                static_cast<size_t>(og.header_len);
          ok &= std::fwrite(og.body, 1, static_cast<size_t>(og.body_len), f) ==
                static_cast<size_t>(og.body_len);
          if (ogg_page_eos(&og)) eos = true;
        }
      }
    }
    if (n == 0 && !eos) {
      // Everything is out; flush whatever page is left.
      while (ogg_stream_flush(&os, &og) != 0) {
        ok &= std::fwrite(og.header, 1, static_cast<size_t>(og.header_len), f) ==
              static_cast<size_t>(og.header_len);
        ok &=
            std::fwrite(og.body, 1, static_cast<size_t>(og.body_len), f) == static_cast<size_t>(og.body_len);
      }
      eos = true;
    }
  }
  ogg_stream_clear(&os);
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  ok &= std::fclose(f) == 0;
  if (!ok || std::rename(tmp.c_str(), path.c_str()) != 0) {
    std::fprintf(stderr, "zt_sfx: failed writing %s\n", path.c_str());
    std::remove(tmp.c_str());
    return false;
  }
  return true;
}

}  // namespace sfx
