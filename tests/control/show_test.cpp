#include <gtest/gtest.h>

#include "control/internal/registry_connector.h"
#include "control_fixture.h"

namespace qvr {
namespace {

const char* const kHklm = "_&H80000002";
const char* const kHku = "_&H80000003";

TEST_F(ControlTest, ShowLocalBuildsRootAndFiveHivesWithPlaceholders) {
  for (const char* name : {"", "<none>"}) {
    events_->single_clicks.clear();
    bool shown = std::string(name) == "<none>" ? control_->Show() : control_->Show(name);
    ASSERT_TRUE(shown);
    toolkit::NodePtr root = Nodes().Item(1);
    EXPECT_EQ(root->Key(), "ROOTKEY");
    EXPECT_EQ(root->Text(), "My Computer (Local System)");
    EXPECT_EQ(root->Image(), "ROOTKEY");
    EXPECT_TRUE(root->Expanded());
    EXPECT_EQ(control_->tvReg().SelectedItem(), root);
    EXPECT_EQ(ChildTexts("ROOTKEY"),
              (std::vector<std::string>{"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",
                                        "HKEY_LOCAL_MACHINE", "HKEY_USERS",
                                        "HKEY_CURRENT_CONFIG"}));
    const char* keys[] = {"_&H80000000", "_&H80000001", "_&H80000002", "_&H80000003",
                          "_&H80000005"};
    for (int i = 0; i < 5; ++i) {
      toolkit::NodePtr hive = Nodes().Item(i + 2);
      EXPECT_EQ(hive->Key(), keys[i]);
      EXPECT_EQ(hive->Image(), "REGKEY");
      EXPECT_EQ(hive->SelectedImage(), "KEYOPEN");
      ASSERT_EQ(hive->Children(), 1);
      EXPECT_EQ(hive->Child()->Key(), std::string("DUMMY") + keys[i]);
      EXPECT_EQ(hive->Child()->Text(), "");
      EXPECT_FALSE(hive->Expanded());
    }
    EXPECT_EQ(Nodes().Count(), 11);
    // The closing click on the computer: no hive, no values, not valid.
    EXPECT_EQ(Status(), "");
    EXPECT_EQ(control_->lvValues().ListItems().Count(), 0);
    EXPECT_EQ(events_->single_clicks, std::vector<bool>{false});
  }
}

TEST_F(ControlTest, ShowAgainReplacesEverything) {
  ASSERT_TRUE(control_->Show());
  Open(kHklm);
  Click(kHklm);
  toolkit::NodePtr old_software = Node(std::string(kHklm) + "\\SOFTWARE");
  ASSERT_TRUE(old_software);
  ASSERT_TRUE(control_->Show());
  EXPECT_EQ(Nodes().Count(), 11);
  EXPECT_FALSE(Node(std::string(kHklm) + "\\SOFTWARE"));
  EXPECT_EQ(old_software->Tree(), nullptr);
  EXPECT_EQ(control_->lvValues().ListItems().Count(), 0);
}

TEST_F(ControlTest, ShowRemoteMachineServesItsHives) {
  temp_.AddMachine("FARHOST");
  // A key only the remote machine has.
  HKEY remote = 0;
  ASSERT_EQ(RegConnectRegistryA("FARHOST", HKEY_LOCAL_MACHINE, &remote), ERROR_SUCCESS);
  MakeKey(remote, "SOFTWARE\\OnlyThere");
  RegCloseKey(remote);
  MakeKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\OnlyHere");
  const size_t handles_before = temp_.Service().OpenHandleCount();

  for (const std::string name : {"FARHOST", "\\\\FARHOST"}) {
    ASSERT_TRUE(control_->Show(name)) << name;
    EXPECT_EQ(Nodes().Item(1)->Text(), name);
    EXPECT_EQ(ChildTexts("ROOTKEY"),
              (std::vector<std::string>{"HKEY_LOCAL_MACHINE", "HKEY_USERS"}));
    EXPECT_EQ(Nodes().Item(2)->Key(), kHklm);
    EXPECT_EQ(Nodes().Item(3)->Key(), kHku);
    OpenPath(std::string(kHklm) + "\\SOFTWARE");
    EXPECT_TRUE(Node(std::string(kHklm) + "\\SOFTWARE\\ONLYTHERE"));
    EXPECT_FALSE(Node(std::string(kHklm) + "\\SOFTWARE\\ONLYHERE"));
    // Paths come from the nodes below the computer, whatever its text.
    Click(std::string(kHklm) + "\\SOFTWARE\\ONLYTHERE");
    EXPECT_EQ(Status(), "HKEY_LOCAL_MACHINE\\SOFTWARE\\OnlyThere");
    EXPECT_EQ(events_->single_clicks.back(), true);
  }

  // A local view afterwards shows this machine again and lets the remote
  // hives go.
  ASSERT_TRUE(control_->Show());
  EXPECT_EQ(temp_.Service().OpenHandleCount(), handles_before);
  OpenPath(std::string(kHklm) + "\\SOFTWARE");
  EXPECT_TRUE(Node(std::string(kHklm) + "\\SOFTWARE\\ONLYHERE"));
  EXPECT_FALSE(Node(std::string(kHklm) + "\\SOFTWARE\\ONLYTHERE"));

  // The control closes the hives of a machine still shown when it ends.
  ASSERT_TRUE(control_->Show("FARHOST"));
  EXPECT_GT(temp_.Service().OpenHandleCount(), handles_before);
  control_.reset();
  EXPECT_EQ(temp_.Service().OpenHandleCount(), handles_before);
}

TEST_F(ControlTest, ShowUnreachableMachineLeavesControlEmpty) {
  ASSERT_TRUE(control_->Show());
  Open(kHklm);
  Click(kHklm);
  events_->single_clicks.clear();
  EXPECT_FALSE(control_->Show("NOSUCHHOST"));
  EXPECT_EQ(Nodes().Count(), 0);
  EXPECT_EQ(control_->lvValues().ListItems().Count(), 0);
  EXPECT_TRUE(events_->single_clicks.empty());
  EXPECT_TRUE(messages_.Messages().empty());
}

TEST_F(ControlTest, ShowMachineWhoseHivesConnectSeparately) {
  temp_.AddMachine("HALFHOST");
  HKEY remote = 0;
  ASSERT_EQ(RegConnectRegistryA("HALFHOST", HKEY_LOCAL_MACHINE, &remote), ERROR_SUCCESS);
  MakeKey(remote, "SOFTWARE\\RemoteKey");
  RegCloseKey(remote);
  MakeKey(HKEY_USERS, "LocalUserKey");
  // HKEY_USERS of that machine does not answer.
  auto previous = control_internal::SetRegistryConnector(
      [](const char* machine, HKEY hive, HKEY* result) -> LONG {
        if (hive == HKEY_USERS) return ERROR_BAD_NETPATH;
        return RegConnectRegistryA(machine, hive, result);
      });
  ASSERT_TRUE(control_->Show("HALFHOST"));
  control_internal::SetRegistryConnector(previous);

  EXPECT_EQ(ChildTexts("ROOTKEY"),
            (std::vector<std::string>{"HKEY_LOCAL_MACHINE", "HKEY_USERS"}));
  OpenPath(std::string(kHklm) + "\\SOFTWARE");
  EXPECT_TRUE(Node(std::string(kHklm) + "\\SOFTWARE\\REMOTEKEY"));
  // The hive that did not connect is this machine's.
  Open(kHku);
  EXPECT_TRUE(Node(std::string(kHku) + "\\LOCALUSERKEY"));
}

}  // namespace
}  // namespace qvr
