// The appearance parts read from and written to form files: every published
// property round-trips, the texture is loaded once the form has been read,
// references to a light and a reference frame resolve, bad values are
// refused with the property named.
#include <memory>
#include <sstream>
#include <string>

#include "AppearanceTestSupport.h"
#include "korvane3d/frames/Kv3dframe.h"
#include "korvane3d/host/Error.h"
#include "korvane3d/host/FormStream.h"
#include "korvane3d/host/Registry.h"
#include "korvane3d/objects/Kv3dmaterial.h"
#include "korvane3d/objects/Kv3dquality.h"
#include "korvane3d/objects/Kv3dshadow.h"
#include "korvane3d/objects/Kv3dtexture.h"
#include "korvane3d/objects/Kv3dwrap.h"
#include "korvane3d/scene/Kv3dlight.h"

using namespace kv;

namespace {

class AppearanceForms : public kvtest::AppearanceTest {
 protected:
  void SetUp() override {
    AppearanceTest::SetUp();
    Register();
    RegisterClass(TKV3DObject::StaticClass());
  }
  static std::unique_ptr<TComponent> Read(const std::string& text) { return ReadComponentText(text, "thing.kvf"); }
  static std::string Write(TComponent* root) {
    std::string text;
    EXPECT_TRUE(WriteComponentText(root, text)) << LastErrorText();
    return text;
  }
  std::string Form() {
    return R"(object Form1: TComponent
  object Sun: TKV3DLight
    Position.Y = 4.0
  end
  object Viewer: TKV3DFrame
  end
  object Ball: TKV3DObject
    Mesh.ActiveShape = stCube
    Scale.X = 2.0
    Scale.Y = -1.0
    Scale.Z = 0.5
    Quality.ShadeMode = tsFlat
    Quality.LightMode = False
    Quality.FillMode = tfWireframe
    Wrap.RefFrame = Viewer
    Wrap.OriginX = 0.25
    Wrap.OriginY = -0.25
    Wrap.OriginZ = 1.5
    Wrap.DirX = 0.5
    Wrap.DirY = 0.125
    Wrap.DirZ = 1.0
    Wrap.UpX = 0.0625
    Wrap.UpY = 1.0
    Wrap.UpZ = -0.5
    Wrap.TextureOriginU = 0.5
    Wrap.TextureOriginV = 0.75
    Wrap.TextureScaleU = -2.0
    Wrap.TextureScaleV = 3.0
    Wrap.Type = twSphere
    Shadow.PlaneX = 2.0
    Shadow.PlaneY = -1.0
    Shadow.PlaneZ = 3.0
    Shadow.NormalX = 0.25
    Shadow.NormalY = 0.0
    Shadow.NormalZ = -0.5
    Shadow.Light = Sun
    Texture.UseMipMap = True
    Texture.Shades = 4
    Texture.Colors = 0
    Texture.Decal.Scale = False
    Texture.Decal.Width = 2.0
    Texture.Decal.Height = 0.0
    Texture.Decal.OrginX = 5
    Texture.Decal.OrginY = -3
    Texture.Decal.Transparent = True
    Texture.Decal.TransparentColor = clLime
    Texture.FileName = ')" + Picture("picture.bmp") + R"('
    Material.Emission = $000080FF
    Material.Power = 0.0
    Material.Specular = clWhite
    Material.Ambient = clBlack
  end
end
)";
  }
};

TEST_F(AppearanceForms, EveryPublishedPropertyRoundTrips) {
  std::unique_ptr<TComponent> form = Read(Form());
  ASSERT_NE(form, nullptr) << LastErrorText();
  auto* ball = dynamic_cast<TKV3DObject*>(form->FindComponent("Ball"));
  ASSERT_NE(ball, nullptr);
  EXPECT_EQ(ball->Wrap()->RefFrame(), form->FindComponent("Viewer"));
  EXPECT_NE(ball->Wrap()->GetIDirect3DWrap(), nullptr);
  EXPECT_EQ(ball->Shadow()->Light(), form->FindComponent("Sun"));
  EXPECT_NE(ball->Shadow()->GetIDirect3DShadow(), nullptr);
  EXPECT_EQ(ball->Shadow()->GetNormalY(), 0.001f);
  ASSERT_NE(ball->Texture()->GetIDirect3DTexture(), nullptr);
  EXPECT_EQ(ball->Texture()->GetIDirect3DTexture()->GetShades(), 4u);
  EXPECT_EQ(ball->Material()->GetEmission(), 0x0080FFu);
  EXPECT_EQ(ball->Material()->GetPower(), 0.0f);

  const std::string written = Write(form.get());
  // Every property the form sets on the object is written again.
  std::istringstream lines(Form().substr(Form().find("Scale.")));
  for (std::string line; std::getline(lines, line) && line.find(" = ") != std::string::npos;) {
    const std::string name = line.substr(line.find_first_not_of(' '), line.find(" = ") - line.find_first_not_of(' '));
    EXPECT_NE(written.find("    " + name + " = "), std::string::npos) << name << "\n" << written;
  }
  std::unique_ptr<TComponent> again = Read(written);
  ASSERT_NE(again, nullptr) << LastErrorText() << "\n" << written;
  EXPECT_EQ(Write(again.get()), written);
  // The object as its own reference frame is not written; no frame is.
  ball->Wrap()->SetRefFrame(ball);
  EXPECT_EQ(Write(form.get()).find("Wrap.RefFrame"), std::string::npos);
  ball->Wrap()->SetRefFrame(nullptr);
  EXPECT_NE(Write(form.get()).find("Wrap.RefFrame = nil"), std::string::npos);
}

TEST_F(AppearanceForms, BadValuesAreRefusedWithThePropertyNamed) {
  for (const char* line : {"Scale.Y = 0.0", "Wrap.Type = twBox", "Shadow.Light = Nobody"}) {
    SCOPED_TRACE(line);
    const std::string text = std::string("object Form1: TComponent\n  object Ball: TKV3DObject\n    ") + line +
                             "\n  end\nend\n";
    EXPECT_EQ(Read(text), nullptr);
    const std::string property = std::string(line).substr(0, std::string(line).find(' '));
    EXPECT_NE(LastErrorText().find(property), std::string::npos) << LastErrorText();
  }
  // A texture file that is not there is no error in a form: the name stays.
  std::unique_ptr<TComponent> form =
      Read("object Form1: TComponent\n  object Ball: TKV3DObject\n    Texture.FileName = 'gone.bmp'\n  end\nend\n");
  ASSERT_NE(form, nullptr) << LastErrorText();
  EXPECT_NE(Write(form.get()).find("Texture.FileName = 'gone.bmp'"), std::string::npos);
}

}  // namespace
