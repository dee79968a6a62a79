#include <gtest/gtest.h>

#include "control/internal/registry_connector.h"
#include "control_fixture.h"

namespace qvr {
namespace {

TEST_F(ControlTest, ShowLocalBuildsRootAndFiveHivesAndReplacesAnEarlierTree) {
  toolkit::NodePtr old_software;
  for (const char* name : {"", "<none>"}) {
    events_->single_clicks.clear();
    ASSERT_TRUE(std::string(name) == "<none>" ? control_->Show() : control_->Show(name));
    toolkit::NodePtr root = Nodes().Item(1);
    EXPECT_EQ(root->Key() + "|" + root->Text() + "|" + root->Image(),
              "ROOTKEY|My Computer (Local System)|ROOTKEY");
    EXPECT_TRUE(root->Expanded());
    EXPECT_EQ(Tree().SelectedItem(), root);
    EXPECT_EQ(ChildTexts("ROOTKEY"),
              (std::vector<std::string>{"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",
                                        "HKEY_LOCAL_MACHINE", "HKEY_USERS",
                                        "HKEY_CURRENT_CONFIG"}));
    const std::string keys[] = {"_&H80000000", "_&H80000001", kHklm, kHku, "_&H80000005"};
    for (int i = 0; i < 5; ++i) {
      toolkit::NodePtr hive = Nodes().Item(i + 2);
      EXPECT_EQ(hive->Key() + "|" + Images(keys[i]), keys[i] + "|REGKEY/KEYOPEN");
      EXPECT_FALSE(hive->Expanded());
      ASSERT_EQ(hive->Children(), 1);
      EXPECT_EQ(hive->Child()->Key() + "|" + hive->Child()->Text(), "DUMMY" + keys[i] + "|");
    }
    // Nothing of the earlier tree is left.
    EXPECT_EQ(Nodes().Count(), 11);
    if (old_software) { EXPECT_EQ(old_software->Tree(), nullptr); }
    // The closing click on the computer: no hive, no values, not valid.
    EXPECT_EQ(std::make_pair(Status(), RowCount()), std::make_pair(std::string(), 0));
    EXPECT_EQ(events_->single_clicks, std::vector<bool>{false});
    Open(kHklm);
    Click(kHklm);
    old_software = Node(kHklm + "\\SOFTWARE");
    ASSERT_TRUE(old_software);
  }
}

TEST_F(ControlTest, ExpandableValuesShowTheEnvironmentOfTheMachineShown) {
  // One variable, three values: this machine's registry, another machine's,
  // and this process. Each view shows its own machine's; the process's never.
  const std::string environment =
      "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
  const std::string data("%AppHome%\\bin\0", 14);
  MakeRemoteKey("FARHOST", "SOFTWARE\\App");
  HKEY remote = 0;
  ASSERT_EQ(RegConnectRegistryA("FARHOST", HKEY_LOCAL_MACHINE, &remote), ERROR_SUCCESS);
  SetString(remote, environment, "AppHome", "D:\\There");
  SetValue(remote, "SOFTWARE\\App", "Dir", REG_EXPAND_SZ, data);
  RegCloseKey(remote);
  SetString(HKEY_LOCAL_MACHINE, environment, "AppHome", "C:\\Here");
  SetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\App", "Dir", REG_EXPAND_SZ, data);
  setenv("AppHome", "/process", 1);

  const std::string app = kHklm + "\\SOFTWARE\\APP";
  auto data_shown = [&] {
    Click(kHklm + "\\SOFTWARE");
    Click(app);
    return Row("Dir") ? Row("Dir")->SubItems(2) : "<no row>";
  };
  ASSERT_TRUE(control_->Show("FARHOST"));
  OpenPath(app);
  EXPECT_EQ(data_shown(), "D:\\There\\bin");
  ASSERT_TRUE(control_->Show());
  OpenPath(app);
  EXPECT_EQ(data_shown(), "C:\\Here\\bin");
  // An edit of the environment shows when the values are listed again.
  SetString(HKEY_LOCAL_MACHINE, environment, "AppHome", "C:\\Moved");
  EXPECT_EQ(data_shown(), "C:\\Moved\\bin");
  unsetenv("AppHome");
}

TEST_F(ControlTest, ShowRemoteUnreachableAndHalfConnectedMachines) {
  MakeRemoteKey("FARHOST", "SOFTWARE\\OnlyThere");
  MakeKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\OnlyHere");
  const size_t handles_before = temp_.Service().OpenHandleCount();

  for (const std::string name : {"FARHOST", "\\\\FARHOST"}) {
    ASSERT_TRUE(control_->Show(name)) << name;
    EXPECT_EQ(Nodes().Item(1)->Text(), name);
    EXPECT_EQ(ChildTexts("ROOTKEY"),
              (std::vector<std::string>{"HKEY_LOCAL_MACHINE", "HKEY_USERS"}));
    EXPECT_EQ(Nodes().Item(2)->Key() + "|" + Nodes().Item(3)->Key(), kHklm + "|" + kHku);
    OpenPath(kHklm + "\\SOFTWARE");
    EXPECT_FALSE(Node(kHklm + "\\SOFTWARE\\ONLYHERE"));
    // Paths come from the nodes below the computer, whatever its text.
    Click(kHklm + "\\SOFTWARE\\ONLYTHERE");
    EXPECT_EQ(Status(), "HKEY_LOCAL_MACHINE\\SOFTWARE\\OnlyThere");
    EXPECT_EQ(events_->single_clicks.back(), true);
  }

  // A local view afterwards shows this machine again and lets the remote
  // hives go.
  ASSERT_TRUE(control_->Show());
  EXPECT_EQ(temp_.Service().OpenHandleCount(), handles_before);
  OpenPath(kHklm + "\\SOFTWARE");
  EXPECT_TRUE(Node(kHklm + "\\SOFTWARE\\ONLYHERE"));
  EXPECT_FALSE(Node(kHklm + "\\SOFTWARE\\ONLYTHERE"));

  // A machine that does not answer leaves the control empty and quiet.
  Click(kHklm);
  events_->single_clicks.clear();
  EXPECT_FALSE(control_->Show("NOSUCHHOST"));
  EXPECT_EQ(std::make_pair(Nodes().Count(), RowCount()), std::make_pair(0, 0));
  EXPECT_TRUE(events_->single_clicks.empty());
  ExpectNoMessages();

  // A machine whose HKEY_USERS does not answer: that hive is this machine's.
  MakeRemoteKey("HALFHOST", "SOFTWARE\\RemoteKey");
  MakeKey(HKEY_USERS, "LocalUserKey");
  auto previous = control_internal::SetRegistryConnector(
      [](const char* machine, HKEY hive, HKEY* result) -> LONG {
        if (hive == HKEY_USERS) return ERROR_BAD_NETPATH;
        return RegConnectRegistryA(machine, hive, result);
      });
  ASSERT_TRUE(control_->Show("HALFHOST"));
  control_internal::SetRegistryConnector(previous);
  EXPECT_EQ(ChildTexts("ROOTKEY"), (std::vector<std::string>{"HKEY_LOCAL_MACHINE", "HKEY_USERS"}));
  OpenPath(kHklm + "\\SOFTWARE");
  EXPECT_TRUE(Node(kHklm + "\\SOFTWARE\\REMOTEKEY"));
  Open(kHku);
  EXPECT_TRUE(Node(kHku + "\\LOCALUSERKEY"));

  // The control closes the hives of a machine still shown when it ends.
  EXPECT_GT(temp_.Service().OpenHandleCount(), handles_before);
  control_.reset();
  EXPECT_EQ(temp_.Service().OpenHandleCount(), handles_before);
}

}  // namespace
}  // namespace qvr
