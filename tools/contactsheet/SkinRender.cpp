#include "SkinRender.h"

#include <algorithm>
#include <string>
#include <vector>

#include "skin/paint/PixelOps.h"
#include "skin/paint/Resample.h"
#include "TinyFont.h"

namespace skintool {

namespace {

struct Btn { int Left, Top, Width; const char* Caption; };
// The main window's 36 buttons (client coordinates, 22 pixels high).
constexpr Btn kButtons[] = {
    {17, 8, 66, "3D建模"},        {109, 231, 87, "截图和草图"}, {155, 8, 66, "照片"},
    {225, 8, 66, "地图"},         {203, 231, 87, "使用技巧"},   {88, 36, 66, "天气"},
    {17, 175, 87, "录音机"},      {225, 36, 66, "财经"},        {17, 64, 66, "新闻"},
    {88, 64, 66, "人脉"},         {155, 64, 66, "OneNote"},     {225, 64, 66, "Xbox"},
    {17, 119, 87, "闹钟和时钟"},  {109, 119, 87, "电影和电视"}, {203, 119, 87, "日历和邮件"},
    {17, 147, 87, "获取office"},  {109, 147, 87, "应用商店"},   {203, 147, 87, "棋牌游戏"},
    {88, 8, 63, "相机"},          {109, 175, 87, "计算器"},     {203, 175, 87, "Groove 音乐"},
    {17, 203, 87, "获取帮助"},    {225, 92, 65, "消息"},        {17, 231, 87, "3D 查看器"},
    {155, 36, 66, "便签"},        {17, 36, 66, "画图 3D"},      {109, 203, 87, "移动套餐"},
    {155, 92, 66, "Print 3D"},    {17, 92, 66, "Skype"},        {87, 92, 66, "Wallet"},
    {203, 203, 87, "反馈中心"},   {17, 259, 132, "混合现实门户"}, {155, 259, 135, "你的手机"},
    {308, 36, 85, "卸载全部"},    {308, 64, 85, "安装全部"},    {308, 203, 85, "关于"}};

// A caption centred on a point of the full-size picture; drawn after the
// picture is scaled down, so that the tiny font stays sharp.
struct Caption { int CX, CY; std::string Text; std::uint32_t Colour; bool Left = false; };

}  // namespace

Bitmap32 RenderMainWindowPreview(cb::test::LoadedSkin& skin, int Width, int Height) {
  cb::TacSkinData* sd = skin.Data(96);
  const int border = 4, title = sd->ExTitleHeight;
  const int ww = 412 + 2 * border, wh = 290 + title + border;
  const int ch = wh + 40, cw = ch * Width / Height;
  Bitmap32 canvas(cw, ch);
  FillPixels32(canvas, canvas.Bounds(), 0xE6DCD2, 255);
  const int ox = (cw - ww) / 2, oy = 20;
  const BmpRect win(ox, oy, ox + ww, oy + wh);
  TCacheInfo desk = MakeCacheInfo(canvas);

  auto section = [&](const char* name) { return skin.Manager->GetSkinIndex(name, sd); };
  cb::PaintSectionByIndex(section("FORM"), desk, -1, -1, sd, canvas, BmpPoint(0, 0), win, 1);
  cb::PaintSectionByIndex(section("FORMTITLE"), desk, -1, -1, sd, canvas, BmpPoint(0, 0),
                          BmpRect(win.Left, win.Top, win.Right, win.Top + title), 1);
  std::vector<Caption> captions;
  const std::uint32_t font = std::uint32_t(sd->gd[size_t(section("FORMTITLE"))].Props[1].FontColor.Color);
  captions.push_back({win.Left + 12, win.Top + title / 2, "Clearbay", font, true});
  int x = win.Right - border;
  for (int glyph : {cb::tgClose, cb::tgMin}) {
    const int mi = sd->TitleGlyphs[size_t(glyph)];
    if (mi < 0) continue;
    const cb::TsMaskData& m = sd->ma[size_t(mi)];
    x -= m.Width;
    cb::DrawCornerImage(canvas, BmpPoint(x, win.Top + (title - m.Height) / 2), 0, desk, m, 1);
  }

  const int cx0 = win.Left + border, cy0 = win.Top + title;
  const int speed = section("SPEEDBUTTON");
  FixedBinding button(sd, speed);
  const std::uint32_t text = std::uint32_t(sd->gd[size_t(speed)].Props[0].FontColor.Color);
  int i = 0;
  for (const Btn& b : kButtons) {
    const BmpRect r(cx0 + b.Left, cy0 + b.Top, cx0 + b.Left + b.Width, cy0 + b.Top + 22);
    const int state = i++ == 19 ? 1 : 0;  // the calculator button under the pointer
    cb::PaintSection(button, desk, true, state, canvas, BmpPoint(0, 0), r);
    captions.push_back({(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2, b.Caption, text});
  }
  const std::uint32_t label = std::uint32_t(sd->gd[size_t(section("FORM"))].Props[1].FontColor.Color);
  captions.push_back({cx0 + 332, cy0 + 184, "提示", label});
  captions.push_back({cx0 + 350, cy0 + 270, "Declutra", std::uint32_t(skin.Manager->Palette[pcWebText])});
  const BmpRect track(cx0 + 347, cy0 + 176, cx0 + 380, cy0 + 191);
  FixedBinding on(sd, section("SLIDER_ON"));
  cb::PaintSection(on, desk, true, 0, canvas, BmpPoint(0, 0), track);
  FixedBinding thumb(sd, section("PANEL"));
  cb::PaintSection(thumb, desk, true, 0, canvas, BmpPoint(0, 0),
                   BmpRect(track.Right - 14, track.Top + 1, track.Right - 1, track.Bottom - 1));

  Bitmap32 out;
  Resample(canvas, out, BmpSize(Width, Height), rfMitchell);
  ForEachPixel(out, TPixelOp::Opaque, 0);
  for (const Caption& c : captions) {
    const int x = c.CX * Width / cw, y = c.CY * Height / ch;
    DrawTinyText(out, c.Left ? x : x - TinyTextWidth(c.Text) / 2, y - 2, c.Text, c.Colour);
  }
  return out;
}

}  // namespace skintool
