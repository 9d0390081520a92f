// smileygen: draws the default skin's smiley pictures and report icons and writes them, with the
// smiley list that names them, into a skin folder:
//   smileygen SKIN_FOLDER      (writes SKIN_FOLDER/Smileydata.txt and SKIN_FOLDER/Smileys/*.gif)
// The pictures are 20 by 20 pixels, the size of a line of the HTML view's 8-point text with a
// little air, drawn four times finer and averaged so that their edges are smooth.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "canvas.h"
#include "gif_writer.h"

using namespace smileygen;

namespace {

constexpr int kSize = 20;

const Color kOutline = Rgb(120, 78, 10);
const Color kFaceLight = Rgb(255, 236, 110);
const Color kFaceEdge = Rgb(246, 176, 20);
const Color kFeature = Rgb(70, 42, 10);
const Color kMouth = Rgb(150, 30, 30);
const Color kWhite = Rgb(255, 255, 255);

using Draw = std::function<void(Canvas&)>;

Frame Paint(const Draw& draw) {
  Canvas c(kSize, kSize);
  draw(c);
  return c.Take();
}

void Face(Canvas& c, Color light = kFaceLight, Color edge = kFaceEdge) {
  c.Face(10, 10, 9.4f, light, edge, kOutline);
}
void Eyes(Canvas& c, float dy = 0) {
  c.FillEllipse(7, 7.6f + dy, 1.15f, 1.7f, kFeature);
  c.FillEllipse(13, 7.6f + dy, 1.15f, 1.7f, kFeature);
  c.FillCircle(6.6f, 6.9f + dy, 0.4f, kWhite);
  c.FillCircle(12.6f, 6.9f + dy, 0.4f, kWhite);
}
void ClosedEye(Canvas& c, float x) { c.Arc(x, 7.2f, 1.5f, 20, 160, 0.9f, kFeature); }
void Smile(Canvas& c) { c.Arc(10, 10, 5.2f, 25, 155, 1.2f, kFeature); }
void Frown(Canvas& c) { c.Arc(10, 17.5f, 4.6f, 215, 325, 1.2f, kFeature); }

struct Picture {
  std::string file;                  // without ".gif"
  std::vector<std::string> codes;    // in the list's order
  std::vector<std::pair<Draw, int>> frames;  // drawing and delay in ms
};

std::vector<Picture> Pictures() {
  std::vector<Picture> p;
  // Longer codes that contain shorter ones come first: the first entry in the list wins.
  p.push_back({"angry", {">:(", ">:-("}, {}});
  for (int i = 0; i < 4; ++i) {
    float heat = i < 3 ? i / 2.f : 0.5f;
    p.back().frames.push_back({[heat](Canvas& c) {
      Face(c, Mix(kFaceLight, Rgb(255, 120, 90), heat), Mix(kFaceEdge, Rgb(210, 30, 20), heat));
      c.Line(5, 5.2f, 8.6f, 7.2f, 1.2f, kFeature);
      c.Line(15, 5.2f, 11.4f, 7.2f, 1.2f, kFeature);
      c.FillCircle(7.4f, 9, 1.1f, kFeature);
      c.FillCircle(12.6f, 9, 1.1f, kFeature);
      Frown(c);
    }, i == 2 ? 500 : 250});
  }
  p.push_back({"angel", {"O:)", "O:-)", "0:)"}, {}});
  for (int i = 0; i < 4; ++i) {
    float bob = (i == 1 ? -0.6f : i == 3 ? 0.6f : 0.f);
    p.back().frames.push_back({[bob](Canvas& c) {
      c.Face(10, 11.2f, 8.4f, kFaceLight, kFaceEdge, kOutline);
      c.FillEllipse(7.2f, 9.6f, 1, 1.5f, kFeature);
      c.FillEllipse(12.8f, 9.6f, 1, 1.5f, kFeature);
      c.Arc(10, 11.2f, 4.6f, 25, 155, 1.1f, kFeature);
      c.EllipseRing(10, 2.2f + bob, 5, 1.5f, 1.1f, Rgb(250, 210, 40));
    }, 220});
  }
  p.push_back({"brokenheart", {"</3"}, {{[](Canvas& c) {
    const Color red = Rgb(200, 20, 40);
    c.Heart(9.2f, 10.5f, 17, red);
    c.Shape(0, 0, 20, 20, [](float x, float y) {
      // Clear a zigzag crack down the middle, then shift the right half.
      float zig = 9.2f + ((static_cast<int>(y * 0.6f) % 2) ? 1.2f : -1.2f);
      return x > zig - 0.45f && x < zig + 0.45f && y > 3 && y < 18;
    }, [](float, float) { return kWhite; });
  }, 0}}});
  p.push_back({"heart", {"<3"}, {}});
  for (float scale : {1.f, 0.86f, 1.f, 0.86f}) {
    p.back().frames.push_back({[scale](Canvas& c) {
      c.Heart(10, 10.5f, 18 * scale, Rgb(220, 20, 50));
      c.FillEllipse(6.6f, 6.6f, 1.4f * scale, 0.9f * scale, Rgb(255, 150, 160));
    }, scale < 1 ? 160 : 300});
  }
  p.push_back({"smile", {":-)", ":)", ":]"}, {{[](Canvas& c) {
    Face(c);
    Eyes(c);
    Smile(c);
  }, 0}}});
  p.push_back({"wink", {";-)", ";)"}, {}});
  for (int i = 0; i < 2; ++i) {
    p.back().frames.push_back({[i](Canvas& c) {
      Face(c);
      c.FillEllipse(13, 7.6f, 1.15f, 1.7f, kFeature);
      if (i == 0)
        c.FillEllipse(7, 7.6f, 1.15f, 1.7f, kFeature);
      else
        c.Line(5.4f, 7.8f, 8.6f, 7.8f, 1.1f, kFeature);
      Smile(c);
    }, i == 0 ? 1400 : 500});
  }
  p.push_back({"grin", {":-D", ":D"}, {{[](Canvas& c) {
    Face(c);
    Eyes(c);
    c.Shape(4, 10, 16, 17, [](float x, float y) {
      return y >= 10.6f && (x - 10) * (x - 10) + (y - 10.6f) * (y - 10.6f) <= 30;
    }, [](float, float y) { return y < 12.4f ? kWhite : kMouth; });
  }, 0}}});
  p.push_back({"tongue", {":-P", ":P"}, {}});
  for (float shift : {0.f, -1.2f, 0.f, 1.2f}) {
    p.back().frames.push_back({[shift](Canvas& c) {
      Face(c);
      Eyes(c);
      c.FillEllipse(10 + shift, 14.2f, 2.4f, 2.6f, Rgb(235, 90, 110));
      c.Line(10 + shift, 12.6f, 10 + shift, 15, 0.5f, Rgb(190, 50, 70));
      c.Line(5.6f, 12, 14.4f, 12, 1.2f, kFeature);
    }, 260});
  }
  p.push_back({"surprised", {":-O", ":O"}, {{[](Canvas& c) {
    Face(c);
    c.FillCircle(7, 7.2f, 1.7f, kWhite);
    c.FillCircle(13, 7.2f, 1.7f, kWhite);
    c.FillCircle(7, 7.2f, 1, kFeature);
    c.FillCircle(13, 7.2f, 1, kFeature);
    c.FillEllipse(10, 13.6f, 2, 2.6f, kMouth);
  }, 0}}});
  p.push_back({"sad", {":-(", ":("}, {{[](Canvas& c) {
    Face(c);
    Eyes(c, 0.6f);
    Frown(c);
  }, 0}}});
  p.push_back({"cry", {":'("}, {}});
  for (int i = 0; i < 3; ++i) {
    p.back().frames.push_back({[i](Canvas& c) {
      Face(c);
      ClosedEye(c, 7);
      ClosedEye(c, 13);
      Frown(c);
      float y = 9.5f + 2.6f * i;
      const Color tear = Rgb(70, 150, 240);
      c.FillCircle(5.6f, y + 0.8f, 1.1f, tear);
      c.Line(5.6f, y - 0.6f, 5.6f, y + 0.6f, 0.9f, tear);
    }, 280});
  }
  p.push_back({"cool", {"8-)", "B-)"}, {{[](Canvas& c) {
    Face(c);
    const Color glass = Rgb(30, 30, 40);
    c.FillRoundRect(3.6f, 5.6f, 9.2f, 9.6f, 1.6f, glass);
    c.FillRoundRect(10.8f, 5.6f, 16.4f, 9.6f, 1.6f, glass);
    c.Line(8.6f, 6.4f, 11.4f, 6.4f, 0.9f, glass);
    c.Line(4.8f, 6.6f, 6.4f, 6.6f, 0.6f, Rgb(150, 150, 170));
    c.Line(12, 6.6f, 13.6f, 6.6f, 0.6f, Rgb(150, 150, 170));
    c.Arc(10, 9.6f, 5, 30, 150, 1.2f, kFeature);
  }, 0}}});
  p.push_back({"kiss", {":-*", ":*"}, {}});
  for (int i = 0; i < 4; ++i) {
    p.back().frames.push_back({[i](Canvas& c) {
      Face(c);
      ClosedEye(c, 7);
      ClosedEye(c, 13);
      c.Ring(10.6f, 13.4f, 1.3f, 1, kMouth);
      if (i > 0) c.Heart(14.6f + 0.5f * i, 13.6f - 2.6f * i, 4.6f, Rgb(230, 20, 60));
    }, i == 0 ? 600 : 220});
  }
  p.push_back({"neutral", {":-|", ":|"}, {{[](Canvas& c) {
    Face(c);
    Eyes(c);
    c.Line(6.2f, 13.4f, 13.8f, 13.4f, 1.2f, kFeature);
  }, 0}}});
  p.push_back({"confused", {":-S", ":S"}, {{[](Canvas& c) {
    Face(c);
    Eyes(c);
    c.Line(5.2f, 4.8f, 8.4f, 4.4f, 0.9f, kFeature);
    for (int k = 0; k < 4; ++k) {
      float x0 = 5.8f + 2.1f * k, x1 = x0 + 2.1f;
      c.Line(x0, k % 2 ? 12.4f : 14.2f, x1, k % 2 ? 14.2f : 12.4f, 1.1f, kFeature);
    }
  }, 0}}});
  p.push_back({"blush", {":-$", ":$"}, {{[](Canvas& c) {
    Face(c);
    Eyes(c, 0.8f);
    c.FillEllipse(5, 11.4f, 2, 1.2f, Rgb(250, 120, 120));
    c.FillEllipse(15, 11.4f, 2, 1.2f, Rgb(250, 120, 120));
    c.Arc(10, 11.4f, 3.4f, 30, 150, 1.1f, kFeature);
  }, 0}}});
  auto thumb = [](bool up) {
    return [up](Canvas& c) {
      auto Y = [up](float y) { return up ? y : 20 - y; };
      const Color skin = Rgb(250, 205, 80);
      c.FillRoundRect(4.2f, std::min(Y(8.4f), Y(18.2f)), 15.4f, std::max(Y(8.4f), Y(18.2f)), 2.4f,
                      kOutline);
      c.FillRoundRect(5.2f, std::min(Y(9.4f), Y(17.2f)), 14.4f, std::max(Y(9.4f), Y(17.2f)), 1.8f,
                      skin);
      c.Line(7.2f, Y(9.4f), 7.8f, Y(2.6f), 3.8f, kOutline);
      c.Line(7.2f, Y(9.6f), 7.8f, Y(2.6f), 2.0f, skin);
      for (float y : {11.8f, 14.0f, 16.0f}) c.Line(9.6f, Y(y), 14.4f, Y(y), 0.6f, kOutline);
      c.FillRect(1.6f, std::min(Y(9.2f), Y(18.6f)), 4.2f, std::max(Y(9.2f), Y(18.6f)),
                 Rgb(60, 110, 200));
    };
  };
  p.push_back({"thumbsup", {"(y)", "(Y)"}, {{thumb(true), 0}}});
  p.push_back({"thumbsdown", {"(n)", "(N)"}, {{thumb(false), 0}}});
  p.push_back({"sleepy", {"|-)"}, {}});
  for (int i = 0; i < 3; ++i) {
    p.back().frames.push_back({[i](Canvas& c) {
      c.Face(9, 11, 8.4f, kFaceLight, kFaceEdge, kOutline);
      c.Line(4.6f, 9.6f, 7.8f, 9.6f, 1, kFeature);
      c.Line(10.2f, 9.6f, 13.4f, 9.6f, 1, kFeature);
      c.Ring(9, 14.6f, 1, 0.9f, kFeature);
      const Color z = Rgb(60, 90, 200);
      for (int k = 0; k <= i; ++k) {
        float x = 12.4f + 1.8f * k, y = 6.6f - 2.6f * k, s = 2.2f + 0.5f * k;
        c.Line(x, y, x + s, y, 0.9f, z);
        c.Line(x + s, y, x, y + s, 0.9f, z);
        c.Line(x, y + s, x + s, y + s, 0.9f, z);
      }
    }, i == 2 ? 700 : 350});
  }
  // Report icons of delivery reports; the HTML names them by file.
  p.push_back({"delivered", {}, {{[](Canvas& c) {
    c.FillCircle(10, 10, 9.2f, Rgb(30, 130, 50));
    c.FillCircle(10, 10, 8.3f, Rgb(60, 180, 80));
    c.Line(5.6f, 10.4f, 8.8f, 13.6f, 2.2f, kWhite);
    c.Line(8.8f, 13.6f, 14.6f, 6.6f, 2.2f, kWhite);
  }, 0}}});
  p.push_back({"ndelivered", {}, {{[](Canvas& c) {
    c.FillCircle(10, 10, 9.2f, Rgb(160, 20, 20));
    c.FillCircle(10, 10, 8.3f, Rgb(220, 50, 50));
    c.Line(6.4f, 6.4f, 13.6f, 13.6f, 2.2f, kWhite);
    c.Line(13.6f, 6.4f, 6.4f, 13.6f, 2.2f, kWhite);
  }, 0}}});
  return p;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: smileygen SKIN_FOLDER\n");
    return 2;
  }
  namespace fs = std::filesystem;
  fs::path skin = argv[1];
  fs::create_directories(skin / "Smileys");
  std::string list;
  for (const Picture& picture : Pictures()) {
    std::vector<TimedFrame> frames;
    for (const auto& [draw, delay] : picture.frames) frames.push_back({Paint(draw), delay});
    fs::path file = skin / "Smileys" / (picture.file + ".gif");
    std::string error = WriteGif(file.string(), frames);
    if (!error.empty()) {
      std::fprintf(stderr, "smileygen: %s: %s\n", file.string().c_str(), error.c_str());
      return 1;
    }
    for (const std::string& code : picture.codes) list += code + " " + picture.file + "\r\n";
  }
  std::ofstream out(skin / "Smileydata.txt", std::ios::binary);
  out << list;
  if (!out) {
    std::fprintf(stderr, "smileygen: cannot write Smileydata.txt\n");
    return 1;
  }
  return 0;
}
