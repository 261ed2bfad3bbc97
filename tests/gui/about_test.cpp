// The About box: product, version, ECU family, icon and its OK button.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "GuiSupport.h"
#include "windows/AboutForm.h"
#include "vars/EcuType.h"

namespace {

TEST(AboutBox, ShowsVersionAndEcuFamily) {
  TECUType ecu;
  ecu.SetFamily(FAMILY_OBD1);
  TAboutForm about(ecu, {});
  EXPECT_TRUE(about.isModal());
  EXPECT_EQ(about.ProductLabel()->text(), "Revscope");
  EXPECT_EQ(about.VersionLabel()->text(), "Version " REVSCOPE_VERSION);
  EXPECT_EQ(about.EcuLabel()->text(), "OBD1 ECU");
  EXPECT_EQ(about.OkButton()->text(), "OK");
  ASSERT_FALSE(about.IconLabel()->pixmap().isNull());

  about.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
  // Every text fits its label.
  for (QLabel* l : {about.ProductLabel(), about.VersionLabel(), about.EcuLabel()})
    EXPECT_GE(l->width(), l->sizeHint().width()) << l->text().toStdString();
  const QImage shot = RenderWidget(about);
  SaveArtifact(shot, "about");
  // The icon's needle is drawn in orange.
  const QRect icon = about.IconLabel()->geometry();
  EXPECT_GT(CountNear(shot, icon, QColor(255, 160, 0), 40), 20);

  QTest::mouseClick(about.OkButton(), Qt::LeftButton);
  EXPECT_EQ(about.result(), QDialog::Accepted);
  EXPECT_FALSE(about.isVisible());

  ecu.SetFamily(FAMILY_OBD0);
  EXPECT_EQ(EcuFamilyText(ecu), "OBD0 ECU");
}

}  // namespace
