// The Settings dialog and the Lambda Conversion dialog driven by keys: presets, the tyre calculator,
// the enabling rules, the limits of the edits, Cancel and OK (and what lands in both settings
// files), the Port list, the association box, bad settings files; and the pictures of every page.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTest>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "CoreSupport.h"
#include "GuiSupport.h"
#include "ProgramSupport.h"
#include "rules/FileAssociation.h"
#include "windows/DashboardPage.h"
#include "base/WinApp.h"
#include "windows/LambdaConvForm.h"
#include "windows/SettingsForm.h"
#include "rules/LambdaLogic.h"
#include "vars/Config.h"
#include "base/IniFile.h"
#include "widgets/ColorStringGrid.h"
#include "widgets/Meter270Display.h"
#include "widgets/ValueDisplay.h"
#include "ecu/PollThreadRS.h"

namespace {

namespace fs = std::filesystem;
using F = TSettingsField;

std::string Slurp(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Focuses an edit, selects all of it and types text.
void Retype(QLineEdit* e, const QString& text) {
  e->setFocus();
  e->selectAll();
  QTest::keyClicks(e, text);
}
// Presses the space bar on a focused button or check box.
void Space(QWidget* w) {
  w->setFocus();
  QTest::keyClick(w, Qt::Key_Space);
}

class SettingsDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "revscope-settings-XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
    config_ = std::make_unique<TConfig>(dir_ + "/Revscope.ini", dir_);
    config_->MachinePath = dir_ + "/machine/Settings.ini";
    TAssociationPlaces places{dir_ + "/data", dir_ + "/config", "/opt/revscope/revscope"};
    association_ = std::make_unique<TFileAssociation>(places);
    association_->RunTool = [this](const std::vector<std::string>&) { ++toolRuns_; };
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::unique_ptr<TSettingsForm> Make(const std::vector<std::string>& found = {"/dev/ttyUSB0"}) {
    auto form = std::make_unique<TSettingsForm>(*config_, association_.get(), found);
    form->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    return form;
  }
  std::string dir_;
  std::unique_ptr<TConfig> config_;
  std::unique_ptr<TFileAssociation> association_;
  int toolRuns_ = 0;
};

TEST_F(SettingsDialog, PagesCaptionsAndPictures) {
  auto form = Make({"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0", "/dev/ttyS0"});
  EXPECT_EQ(form->windowTitle(), "Settings");
  EXPECT_TRUE(form->isModal());
  QStringList tabs;
  for (int i = 0; i < form->Pages()->count(); ++i) tabs << form->Pages()->tabText(i);
  EXPECT_EQ(tabs, (QStringList{"&General", "&Vehicle", "&Drivetrain", "&Recording", "&Lambda", "&Priorities"}));
  EXPECT_TRUE(form->Button("btnOk")->isDefault());
  EXPECT_EQ(form->Button("btnCancel")->text(), "Cancel");
  QStringList groups;
  for (auto* g : form->findChildren<QGroupBox*>()) groups << g->title();
  for (const char* g : {"Units", "File Association", "Barometer", "Base Ignition Advance", "Rev Counter", "Gearing",
                        "Wheels && Tyres", "Serial Port", "Error Tolerance", "Recording", "Graph Time Span",
                        "Recording Options", "O2 Sensor Voltage Conversion", "Lambda Unit", "Display Update Frequency"})
    EXPECT_TRUE(groups.contains(g)) << g;
  EXPECT_EQ(form->GearQuickSelect()->count(), 11);
  EXPECT_EQ(form->GearQuickSelect()->itemText(8), "Y21/S80 (Integra SpecR96-97, EK9 CivicR 98+, EG6/EK4 JDM Civic SiR)");
  EXPECT_EQ(form->ProcessSlider()->maximum(), 1);
  EXPECT_EQ(form->PollingSlider()->maximum(), 4);
  EXPECT_EQ(form->Edit(F::BaseIgnitionAdvance)->text(), "14");
  EXPECT_EQ(form->Edit(F::Timeout)->text(), "0");
  const QSize size = form->size();
  for (int p = 0; p < form->Pages()->count(); ++p) {
    form->SelectPage(p);
    ProcessEvents();
    EXPECT_EQ(form->size(), size);  // one fixed size for every page
    const std::string name = "settings_" + form->Pages()->tabText(p).remove('&').toLower().toStdString();
    ExpectTidy(form->Pages()->widget(p), name);
    SaveArtifact(RenderWidget(*form, 1.0), QString::fromStdString(name));
    SaveArtifact(RenderWidget(*form, 2.0), QString::fromStdString(name + "@2x"));
  }
}

TEST_F(SettingsDialog, StoredPageOpensAndOkStoresThePageLeftOn) {
  config_->SettingsPage = 3;
  int shown = -1;
  WhenModal<TSettingsForm>([&shown](TSettingsForm* f) {
    shown = f->ActivePage();
    f->SelectPage(spLambda);
    QTest::keyClick(f->Button("btnOk"), Qt::Key_Space);
  });
  bool saved = false;
  EXPECT_TRUE(ExecuteSettingsDialog(nullptr, *config_, [&saved](std::string*) { return saved = true; }, nullptr));
  EXPECT_EQ(shown, spRecording);
  EXPECT_EQ(config_->SettingsPage, 4);
  EXPECT_TRUE(saved);
  // Cancel: neither stored nor saved.
  saved = false;
  WhenModal<TSettingsForm>([](TSettingsForm* f) {
    f->SelectPage(spVehicle);
    QTest::keyClick(f, Qt::Key_Escape);
  });
  EXPECT_FALSE(ExecuteSettingsDialog(nullptr, *config_, [&saved](std::string*) { return saved = true; }, nullptr));
  EXPECT_EQ(config_->SettingsPage, 4);
  EXPECT_FALSE(saved);
}

TEST_F(SettingsDialog, MetricThenOkSetsFourUnitsAndLeavesLambda) {
  config_->LambdaUnit = 1;
  auto form = Make();
  Space(form->Button("btnMetric"));
  EXPECT_TRUE(form->Radio("rbKph")->isChecked() && form->Radio("rbCelcius")->isChecked() &&
              form->Radio("rbKw")->isChecked() && form->Radio("rbNm")->isChecked());
  EXPECT_TRUE(form->Radio("rbAirFuel")->isChecked());
  Space(form->Button("btnOk"));
  EXPECT_EQ(form->result(), QDialog::Accepted);
  EXPECT_EQ(config_->SpeedUnit + config_->TemperatureUnit + config_->PowerUnit + config_->TorqueUnit, 4);
  EXPECT_EQ(config_->LambdaUnit, 1);
  auto again = Make();
  Space(again->Button("btnImperial"));
  Space(again->Radio("rbLambda"));
  Space(again->Button("btnOk"));
  EXPECT_EQ(config_->SpeedUnit + config_->TemperatureUnit + config_->PowerUnit + config_->TorqueUnit + config_->LambdaUnit, 0);
}

TEST_F(SettingsDialog, GearboxPresetFillsTheRatiosAndItsIndexSurvivesCancel) {
  auto form = Make();
  QComboBox* qs = form->GearQuickSelect();
  form->SelectPage(spDrivetrain);
  qs->setFocus();
  for (int i = 0; i < 6; ++i) QTest::keyClick(qs, Qt::Key_Down);  // to "Y2 (Euro)"
  EXPECT_EQ(qs->currentText(), "Y2 (Euro)");
  const QStringList expected = {"3.25", "2.052", "1.416", "1.103", "0.87", "4.133"};
  const F ratios[6] = {F::Ratio1st, F::Ratio2nd, F::Ratio3rd, F::Ratio4th, F::Ratio5th, F::RatioFinal};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(form->Edit(ratios[i])->text(), expected[i]);
  QTest::keyClick(qs, Qt::Key_Up);  // "Y1 (2nd gen)": 1st 3.23
  EXPECT_EQ(form->Edit(F::Ratio1st)->text(), "3.23");
  QTest::keyClick(qs, Qt::Key_Down);
  EXPECT_EQ(config_->GearRatioQuickSelectIndex, 6);
  form->Edit(F::Ratio1st)->setFocus();
  QTest::keyClick(form.get(), Qt::Key_Escape);
  EXPECT_EQ(form->result(), QDialog::Rejected);
  EXPECT_EQ(config_->GearRatioQuickSelectIndex, 6);
  EXPECT_EQ(config_->GearRatios[0], 3.25);  // the default, untouched
  EXPECT_EQ(config_->GearRatios[1], 2.052);
}

TEST_F(SettingsDialog, TyreCalculatorAndItsEnablingRule) {
  auto form = Make();
  form->SelectPage(spDrivetrain);
  QCheckBox* calc = form->Check("cbCalculateFrom");
  EXPECT_FALSE(form->Edit(F::WheelDiameter)->isEnabled());
  EXPECT_TRUE(form->Edit(F::TyreRollingDiameter)->isEnabled());
  // The stored figures show, not the calculated ones.
  EXPECT_EQ(form->Edit(F::TyreRollingCircumference)->text(), "1.856");
  Space(calc);
  EXPECT_TRUE(form->Edit(F::WheelDiameter)->isEnabled());
  EXPECT_FALSE(form->Edit(F::TyreRollingDiameter)->isEnabled());
  EXPECT_FALSE(form->Edit(F::TyreRollingCircumference)->isEnabled());
  Retype(form->Edit(F::TyreAspectRatio), "60");
  EXPECT_EQ(form->Edit(F::TyreRollingDiameter)->text(), "0.59");
  EXPECT_EQ(form->Edit(F::TyreRollingCircumference)->text(), "1.854");
  Retype(form->Edit(F::WheelDiameter), "15");
  Retype(form->Edit(F::TyreWidth), "205");
  Retype(form->Edit(F::TyreAspectRatio), "50");
  EXPECT_EQ(form->Edit(F::TyreRollingDiameter)->text(), "0.586");
  EXPECT_EQ(form->Edit(F::TyreRollingCircumference)->text(), "1.841");
  Space(form->Button("btnOk"));
  EXPECT_TRUE(config_->UseCalculatedTyreDiameter);
  EXPECT_EQ(config_->WheelDiameter, 15);
  EXPECT_EQ(config_->TyreRollingDiameter, 0.586);
  EXPECT_EQ(config_->TyreRollingCircumference, 1.841);
}

TEST_F(SettingsDialog, EveryEditRefusesWhatItsLimitsForbid) {
  auto form = Make();
  struct Case {
    F field;
    const char* typed;
    const char* shown;
  };
  const Case cases[] = {
      {F::BaroSeaLevelPressure, "12001", "1200"},   {F::BaroSeaLevelPressure, "1013.5", "1013."},
      {F::BaseIgnitionAdvance, "-46", "-4"},        {F::BaseIgnitionAdvance, "45", "45"},
      {F::Ratio1st, "10.5", "10."},                  {F::Ratio2nd, "3.14159", "3.1415"},
      {F::RatioFinal, "-1", "-"},                   {F::Ratio3rd, "9.99999", "9.9999"},
      {F::Ratio4th, "0.1234", "0.1234"},            {F::Ratio5th, "11", "1"},                    {F::WheelDiameter, "21", "2"},
      {F::TyreWidth, "301", "30"},                  {F::TyreAspectRatio, "81", "8"},
      {F::TyreRollingDiameter, "1.2", "1."},        {F::TyreRollingCircumference, "3.1416", "3."},
      {F::TyrePressure, "76", "7"},                 {F::ErrorTolerance, "123456", "12345"},
      {F::StartofRedline, "-8000", "8000"},         {F::MaximumRevs, "9a5", "95"},
      {F::UIUpdateDelayPlaying, "2000", "2000"},    {F::UIUpdateDelayRecording, "0", "0"},
      {F::GraphTimespan, "99999", "99999"},         {F::Timeout, "1.5", "15"},
  };
  // A lone minus in a size field is left as typed while the calculator reads it as 0.
  Space(form->Check("cbCalculateFrom"));
  QLineEdit* wheel = form->Edit(F::WheelDiameter);
  wheel->clear();
  wheel->setFocus();
  QTest::keyClicks(wheel, "-");
  EXPECT_EQ(wheel->text(), "-");
  EXPECT_EQ(form->Edit(F::TyreRollingDiameter)->text(), "0.234");  // 195 mm x 60 % x 2
  for (const Case& c : cases) {
    QLineEdit* e = form->Edit(c.field);
    e->setEnabled(true);
    e->clear();
    e->setFocus();
    QTest::keyClicks(e, c.typed);
    EXPECT_EQ(e->text().toStdString(), c.shown) << FieldInfo(c.field).Name << " typed " << c.typed;
  }
}

TEST_F(SettingsDialog, AutoSaveEnablesCloseAfterAutoSave) {
  auto form = Make();
  form->SelectPage(spRecording);
  EXPECT_FALSE(form->Check("cbAutoClose")->isEnabled());
  Space(form->Check("cbAutoSave"));
  EXPECT_TRUE(form->Check("cbAutoClose")->isEnabled());
  Space(form->Check("cbAutoClose"));
  Space(form->Check("cbAutoSave"));
  EXPECT_FALSE(form->Check("cbAutoClose")->isEnabled());
  EXPECT_TRUE(form->Check("cbAutoClose")->isChecked());
}

TEST_F(SettingsDialog, CancelChangesNothing) {
  ASSERT_TRUE(config_->Save(nullptr, nullptr));
  const std::string ini = Slurp(config_->IniPath), machine = Slurp(config_->MachinePath);
  TSettingsValues before = FillSettingsValues(*config_, StoredPortChoice(*config_), false);
  auto form = Make();
  Space(form->Button("btnMetric"));
  Retype(form->Edit(F::MaximumRevs), "7000");
  Space(form->Check("cbPollQuickly"));
  form->ProcessSlider()->setFocus();
  QTest::keyClick(form->ProcessSlider(), Qt::Key_Right);
  form->PortList()->setFocus();
  QTest::keyClick(form->PortList(), Qt::Key_End);
  Space(form->Button("btnCancel"));
  EXPECT_EQ(form->result(), QDialog::Rejected);
  const TSettingsValues after = FillSettingsValues(*config_, StoredPortChoice(*config_), false);
  EXPECT_EQ(after.Numbers, before.Numbers);
  EXPECT_EQ(config_->SpeedUnit, 0);
  EXPECT_TRUE(config_->PollSensorsQuickly);
  EXPECT_EQ(config_->ProcessPriority, 0);
  EXPECT_EQ(StoredPortChoice(*config_), TPortChoice{});
  EXPECT_EQ(Slurp(config_->IniPath), ini);
  EXPECT_EQ(Slurp(config_->MachinePath), machine);
}

TEST_F(SettingsDialog, OkLandsInBothSettingsFiles) {
  config_->ProcessPriority = 0;  // shown as Normal, stored as 32
  WhenModal<TSettingsForm>([](TSettingsForm* f) {
    f->SelectPage(spVehicle);
    Retype(f->Edit(F::BaseIgnitionAdvance), "-7");
    Retype(f->Edit(F::StartofRedline), "7500");
    f->SelectPage(spRecording);
    Retype(f->Edit(F::ErrorTolerance), "9");
    Retype(f->Edit(F::GraphTimespan), "20");
    Space(f->Check("cbUseDSR"));
    f->PortList()->setFocus();
    QTest::keyClick(f->PortList(), Qt::Key_End);  // "Simulated ECU"
    f->SelectPage(spPriorities);
    f->PollingSlider()->setFocus();
    QTest::keyClick(f->PollingSlider(), Qt::Key_Right);
    Retype(f->Edit(F::UIUpdateDelayRecording), "80");
    Space(f->Button("btnOk"));
  });
  TConfig& c = *config_;
  ASSERT_TRUE(ExecuteSettingsDialog(nullptr, c, [&c](std::string* e) { return c.Save(nullptr, nullptr, e); }, nullptr));
  const TIniFile ini(c.IniPath), machine(c.MachinePath);
  EXPECT_EQ(ini.ReadInteger("Vehicle", "BaseIgnitionAdvance", 0), -7);
  EXPECT_EQ(ini.ReadInteger("Vehicle", "StartofRedline", 0), 7500);
  EXPECT_EQ(ini.ReadInteger("Settings", "GraphTimespan", 0), 20);
  EXPECT_EQ(ini.ReadInteger("Settings", "UseDSRForRecording", 0), 1);
  EXPECT_EQ(ini.ReadInteger("Settings", "ProcessPriority", 0), 32);
  EXPECT_EQ(ini.ReadInteger("Settings", "PollThreadPriority", 0), 1);
  EXPECT_EQ(ini.ReadInteger("Settings", "SettingsPage", -1), spPriorities);
  EXPECT_EQ(ini.ReadInteger("Serial Settings", "ComReadTimeout", 0), 100);
  EXPECT_EQ(machine.ReadInteger("Serial", "ErrorTolerance", 0), 9);
  EXPECT_EQ(machine.ReadInteger("Serial", "ComPort", -1), 0);
  EXPECT_EQ(machine.ReadString("Serial", "Device", ""), "sim");
  EXPECT_EQ(machine.ReadInteger("Poll", "UIUpdateDelayRecording", 0), 80);
  EXPECT_EQ(machine.ReadInteger("Units", "SpeedUnit", -1), 0);
}

TEST_F(SettingsDialog, AnUnwritableSettingsFileIsReportedAndTheValuesStay) {
  fs::create_directories(config_->IniPath);  // a folder where the file should be
  WhenModal<TSettingsForm>([](TSettingsForm* f) {
    Retype(f->Edit(F::BaroSeaLevelPressure), "1020");
    Space(f->Button("btnOk"));
  });
  std::string reported;
  TConfig& c = *config_;
  EXPECT_TRUE(ExecuteSettingsDialog(nullptr, c, [&c](std::string* e) { return c.Save(nullptr, nullptr, e); },
                                    [&reported](const std::string& e) { reported = e; }));
  EXPECT_NE(reported.find(c.IniPath), std::string::npos) << reported;
  EXPECT_EQ(c.BaroSeaLevelPressure, 1020);
}

TEST_F(SettingsDialog, HandEditedSettingsOpenWithDefaults) {
  fs::create_directories(dir_ + "/machine");
  std::ofstream(config_->IniPath) << "[Settings]\nBaroSeaLevelPressure=99999\nProcessPriority=abc\n"
                                     "[Vehicle]\n1st=fast\nTyreWidth=-5\nGearRatioQuickSelectIndex=77\n";
  std::ofstream(config_->MachinePath) << "[Units]\nSpeedUnit=9\n[Serial]\nComPort=300\nErrorTolerance=-4\n"
                                         "[Poll]\nUIUpdateDelayPlaying=1e99\n";
  config_->Load(nullptr, nullptr);
  auto form = Make();
  EXPECT_EQ(form->Edit(F::BaroSeaLevelPressure)->text(), "1013");
  EXPECT_EQ(form->Edit(F::Ratio1st)->text(), "3.25");
  EXPECT_EQ(form->Edit(F::TyreWidth)->text(), "195");
  EXPECT_EQ(form->Edit(F::ErrorTolerance)->text(), "5");
  EXPECT_EQ(form->Edit(F::UIUpdateDelayPlaying)->text(), "10");
  EXPECT_EQ(form->GearQuickSelect()->currentIndex(), 0);
  EXPECT_TRUE(form->Radio("rbMph")->isChecked());
  EXPECT_EQ(form->PortList()->currentIndex(), 0);
  EXPECT_EQ(form->ProcessSlider()->value(), 0);
}

TEST_F(SettingsDialog, PortListShowsDevicesAndKeepsAMissingOne) {
  config_->PortDevice = "/dev/serial/by-id/usb-unplugged";
  auto form = Make({"/dev/ttyUSB0"});
  QStringList items;
  for (int i = 0; i < form->PortList()->count(); ++i) items << form->PortList()->itemText(i);
  EXPECT_EQ(items, (QStringList{"COM1 (/dev/ttyUSB0)", "COM2 (/dev/ttyUSB1)", "COM3 (/dev/ttyS0)", "COM4 (/dev/ttyS1)",
                                "/dev/ttyUSB0", "/dev/serial/by-id/usb-unplugged (missing)", "Simulated ECU"}));
  EXPECT_EQ(form->PortList()->currentIndex(), 5);
  // OK without touching it keeps the device.
  Space(form->Button("btnOk"));
  EXPECT_EQ(config_->PortDevice, "/dev/serial/by-id/usb-unplugged");
  // Choosing COM3 stores index 2 and drops the device.
  auto again = Make({"/dev/ttyUSB0"});
  again->PortList()->setFocus();
  QTest::keyClick(again->PortList(), Qt::Key_Home);
  QTest::keyClick(again->PortList(), Qt::Key_Down);
  QTest::keyClick(again->PortList(), Qt::Key_Down);
  Space(again->Button("btnOk"));
  EXPECT_EQ(StoredPortChoice(*config_), (TPortChoice{2, ""}));
}

// Under --simulate the list shows the simulator chosen; left so, OK keeps the stored port, and
// choosing the stored port itself counts as a choice.
TEST_F(SettingsDialog, ARunOnTheSimulatorShowsItChosenAndKeepsTheStoredPort) {
  config_->ComPort = 1;
  auto form = std::make_unique<TSettingsForm>(*config_, association_.get(), std::vector<std::string>{}, nullptr, "sim");
  EXPECT_EQ(form->PortList()->currentText(), "Simulated ECU");
  EXPECT_FALSE(form->PortChosen());
  form->Button("btnOk")->click();
  EXPECT_EQ(StoredPortChoice(*config_), (TPortChoice{1, ""}));
  auto again = std::make_unique<TSettingsForm>(*config_, association_.get(), std::vector<std::string>{}, nullptr, "sim");
  again->PortList()->setCurrentIndex(1);  // COM2, the stored port
  EXPECT_TRUE(again->PortChosen());
  again->Button("btnOk")->click();
  EXPECT_EQ(StoredPortChoice(*config_), (TPortChoice{1, ""}));
}

TEST_F(SettingsDialog, AssociationBoxActsAtOnceAndFillingLeavesItAlone) {
  association_->Associate();
  toolRuns_ = 0;
  auto form = Make();
  QCheckBox* box = form->Check("cbAssociate");
  EXPECT_TRUE(box->isChecked());
  EXPECT_EQ(toolRuns_, 0);  // showing the state changed nothing
  Space(box);
  EXPECT_FALSE(box->isChecked());
  EXPECT_FALSE(association_->IsAssociated());
  EXPECT_FALSE(fs::exists(association_->DesktopEntryPath()));
  Space(box);
  EXPECT_TRUE(box->isChecked());
  EXPECT_TRUE(association_->IsAssociated());
  // Cancel does not undo it.
  Space(form->Button("btnCancel"));
  EXPECT_TRUE(association_->IsAssociated());
  // A failed association shows as a cleared box.
  association_->Unassociate();
  fs::create_directories(dir_ + "/config/mimeapps.list");  // in the way of the default entry
  auto failing = Make();
  Space(failing->Check("cbAssociate"));
  EXPECT_FALSE(failing->Check("cbAssociate")->isChecked());
}

TEST_F(SettingsDialog, AnInstalledProgramShowsTheInstallationsAssociation) {
  association_->InstalledEntry = "/usr/share/applications/revscope.desktop";
  auto form = Make();
  QCheckBox* box = form->Check("cbAssociate");
  EXPECT_TRUE(box->isChecked());
  EXPECT_FALSE(box->isEnabled());
  auto* note = form->findChild<QLabel*>("lblAssociationNote");
  ASSERT_NE(note, nullptr);
  EXPECT_EQ(note->text().remove(QChar(0x200B)),
            "Provided by the installation, for every user, through /usr/share/applications/revscope.desktop.");
  // Nothing of the user's is written, and OK keeps it so.
  box->click();
  QTest::keyClick(box, Qt::Key_Space);
  EXPECT_TRUE(box->isChecked());
  EXPECT_EQ(toolRuns_, 0);
  EXPECT_FALSE(fs::exists(association_->DesktopEntryPath()));
  EXPECT_TRUE(form->Values().Associated);
  ExpectTidy(form->Pages()->widget(spGeneral), "settings_general_installed");
  SaveArtifact(RenderWidget(*form, 1.0), "settings_general_installed");
  SaveArtifact(RenderWidget(*form, 2.0), "settings_general_installed@2x");
  // A long prefix breaks after a '/' and stays inside the box.
  association_->InstalledEntry = "/opt/torvane/revscope-" + std::string(40, 'x') + "/share/applications/revscope.desktop";
  auto longer = Make();
  note = longer->findChild<QLabel*>("lblAssociationNote");
  ASSERT_NE(note, nullptr);
  EXPECT_GE(note->height(), note->heightForWidth(note->width()));
  EXPECT_LE(note->sizeHint().width(), note->width());
  ExpectTidy(longer->Pages()->widget(spGeneral), "settings_general_installed_long");
  SaveArtifact(RenderWidget(*longer, 1.0), "settings_general_installed_long");
}

TEST_F(SettingsDialog, EditConversionTableOpensTheLambdaDialog) {
  auto form = Make();
  form->SelectPage(spLambda);
  form->EditLambdaTable = nullptr;  // back to the real dialog below
  form = Make();
  form->SelectPage(spLambda);
  QString title;
  WhenModal<TLambdaConvForm>([&title](TLambdaConvForm* l) {
    title = l->windowTitle();
    QTest::keyClick(l, Qt::Key_Escape);
  });
  Space(form->Button("btnEditLambda"));
  EXPECT_EQ(title, "Lambda Conversion");
}

// ---------------------------------------------------------------------------------------------
// Lambda Conversion

class LambdaDialog : public ::testing::Test {
 protected:
  QString Cell(TLambdaConvForm& f, int col, int row) { return f.Grid()->Cells(col, row); }
  // Types into a cell as the user does: select it, type, leave with Enter.
  void TypeInto(TLambdaConvForm& f, int row, int col, const QString& text, int leaveKey = Qt::Key_Return) {
    f.Grid()->setFocus();
    f.Grid()->setCurrentCell(row, col);
    for (QChar ch : text) {
      QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : f.Grid();
      QTest::keyClick(target, ch.toLatin1());
    }
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : f.Grid();
    QTest::keyClick(target, static_cast<Qt::Key>(leaveKey));
    ProcessEvents();  // the editor hands its text to the cell once the key is handled
  }
  TSettings settings_;
};

TEST_F(LambdaDialog, LooksAndPictures) {
  TLambdaConvForm form(settings_);
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  EXPECT_EQ(form.windowTitle(), "Lambda Conversion");
  EXPECT_EQ(form.CloseButton()->text(), "Close");
  EXPECT_TRUE(form.CloseButton()->isDefault());
  EXPECT_EQ(form.QuickSelect()->currentText(), "Horiba Lambda Checker LD-01");
  EXPECT_EQ(form.Grid()->RowCount(), 13);
  EXPECT_EQ(Cell(form, 0, 0), "o2 sensor voltage");
  EXPECT_EQ(Cell(form, 1, 0), "lambda");
  EXPECT_EQ(Cell(form, 0, 11), "5.00");
  EXPECT_EQ(Cell(form, 1, 11), "1.60");
  EXPECT_EQ(Cell(form, 1, 12), "0.00");
  // Every row shows whole.
  EXPECT_GE(form.Grid()->viewport()->height(), form.Grid()->rowViewportPosition(12) + form.Grid()->rowHeight(12));
  SaveArtifact(RenderWidget(form, 1.0), "lambda_conversion");
  SaveArtifact(RenderWidget(form, 2.0), "lambda_conversion@2x");
  ExpectTidy(&form, "lambda_conversion");
}

TEST_F(LambdaDialog, PresetsRefillTheGridAndCustomKeepsIt) {
  TLambdaConvForm form(settings_);
  form.show();
  form.QuickSelect()->setFocus();
  QTest::keyClick(form.QuickSelect(), Qt::Key_Up);  // MoTeC PLM
  EXPECT_EQ(settings_.QuickSelect, 1);
  EXPECT_EQ(Cell(form, 0, 2), "4.50");
  EXPECT_EQ(Cell(form, 1, 1), "0.50");
  EXPECT_EQ(Cell(form, 0, 3), "0.00");
  QTest::keyClick(form.QuickSelect(), Qt::Key_Up);  // Custom
  EXPECT_EQ(settings_.QuickSelect, 1);
  EXPECT_EQ(settings_.LambdaVolts(1), 4.5);
  QTest::keyClick(form.QuickSelect(), Qt::Key_End);  // Horiba
  EXPECT_EQ(settings_.QuickSelect, 2);
  EXPECT_EQ(Cell(form, 0, 11), "5.00");
}

TEST_F(LambdaDialog, TypingStoresAtOnceThroughTheKeyFilter) {
  TLambdaConvForm form(settings_);
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  TypeInto(form, 3, 0, "-1.2a5");  // the minus and the letter are dropped
  EXPECT_DOUBLE_EQ(settings_.LambdaVolts(2), 1.25);
  EXPECT_TRUE(form.isVisible());  // Enter ended the editing, not the dialog
  EXPECT_EQ(settings_.QuickSelect, 0);
  EXPECT_EQ(form.QuickSelect()->currentText(), "Custom");
  EXPECT_EQ(Cell(form, 0, 3), "1.25");
  // Backspace is dropped too, and Esc leaves editing keeping what was typed.
  TypeInto(form, 4, 1, "0.9\b5", Qt::Key_Escape);
  EXPECT_DOUBLE_EQ(settings_.LambdaValue(3), 0.95);
  // A value equal to the preset's still makes it Custom.
  ApplyLambdaPreset(settings_, lpHoriba);
  form.QuickSelect()->setCurrentIndex(lpHoriba);
  form.FillGrid();
  TypeInto(form, 1, 0, "0", Qt::Key_Down);
  EXPECT_EQ(form.QuickSelect()->currentText(), "Custom");
}

TEST_F(LambdaDialog, AirFuelEntryIsStoredAsLambda) {
  settings_.LambdaUnit = 1;
  TLambdaConvForm form(settings_);
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  EXPECT_EQ(Cell(form, 1, 5), "14.70");
  TypeInto(form, 2, 1, "14.7");
  EXPECT_NEAR(settings_.LambdaValue(1), 1.0, 1e-12);
  EXPECT_EQ(Cell(form, 1, 2), "14.7");  // as typed until the next refill
  form.FillGrid();
  EXPECT_EQ(Cell(form, 1, 2), "14.70");
}

TEST_F(LambdaDialog, ATableThatDoesNotRiseCannotBeClosedUntilCorrected) {
  TLambdaConvForm form(settings_);
  QString message;
  form.ShowMessage = [&message](const QString& m) { message = m; };
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  TypeInto(form, 5, 0, "1.5");  // row 5 now equals row 4
  QTest::keyClick(form.CloseButton(), Qt::Key_Space);
  EXPECT_TRUE(form.isVisible());
  EXPECT_TRUE(message.startsWith("Row 5 (1.50 V) must have a higher voltage than row 4 (1.50 V)")) << message.toStdString();
  EXPECT_EQ(form.Grid()->currentRow(), 5);
  TypeInto(form, 5, 0, "2");
  EXPECT_TRUE(form.isVisible());
  message.clear();
  QTest::keyClick(&form, Qt::Key_Escape);
  EXPECT_FALSE(form.isVisible());
  EXPECT_TRUE(message.isEmpty());
}

// ---------------------------------------------------------------------------------------------
// From the main window

class SettingsFromWindow : public ProgramTest {};

TEST_F(SettingsFromWindow, CtrlTOpensTheDialogAndOkAppliesIt) {
  // The association goes to a scratch folder, never the user's.
  const std::string data = File("xdg-data"), config = File("xdg-config");
  const char* oldData = std::getenv("XDG_DATA_HOME");
  const char* oldConfig = std::getenv("XDG_CONFIG_HOME");
  const std::string savedData = oldData ? oldData : "", savedConfig = oldConfig ? oldConfig : "";
  ::setenv("XDG_DATA_HOME", data.c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  auto form = MakeWindow();
  form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  EXPECT_TRUE(form->Action(TCommand::actFileSettings)->isEnabled());
  program_->Config.SettingsPage = 3;
  int shown = -1;
  const QString mph = form->Dashboard()->Readout(gcSpeed)->Unit();
  WhenModal<TSettingsForm>([&shown](TSettingsForm* f) {
    shown = f->ActivePage();
    Retype(f->Edit(F::ErrorTolerance), "12");
    Space(f->Button("btnMetric"));
    f->SelectPage(spVehicle);
    Retype(f->Edit(F::MaximumRevs), "11000");
    f->SelectPage(spGeneral);
    Space(f->Check("cbAssociate"));  // at once, into the scratch folders
    f->SelectPage(spRecording);
    Space(f->Button("btnOk"));
  });
  QTest::keyClick(form.get(), Qt::Key_T, Qt::ControlModifier);
  EXPECT_TRUE(WaitFor([this] { return program_->Config.SpeedUnit == 1; }));
  EXPECT_EQ(shown, spRecording);
  EXPECT_EQ(program_->PollThread->ErrorTolerance, 12);
  // The dashboard follows at once.
  EXPECT_NE(form->Dashboard()->Readout(gcSpeed)->Unit(), mph);
  EXPECT_EQ(form->Dashboard()->Dial()->ValueMax(), 11000);
  // The association names this program and installs its icon.
  TFileAssociation association(UserAssociationPlaces(TWinApp::ExePath()));
  EXPECT_TRUE(association.IsAssociated());
  const QImage icon(QString::fromStdString(association.IconPath(256)));
  EXPECT_EQ(icon.size(), QSize(256, 256));
  association.Unassociate();
  EXPECT_EQ(TIniFile(program_->Config.MachinePath).ReadInteger("Serial", "ErrorTolerance", 0), 12);
  EXPECT_EQ(TIniFile(program_->Config.IniPath).ReadInteger("Settings", "SettingsPage", -1), spRecording);
  EXPECT_TRUE(messages_.empty());
  if (oldData) ::setenv("XDG_DATA_HOME", savedData.c_str(), 1); else ::unsetenv("XDG_DATA_HOME");
  if (oldConfig) ::setenv("XDG_CONFIG_HOME", savedConfig.c_str(), 1); else ::unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
