// Show: the computer node, its hives and their placeholders, for this machine
// or for another one.
#include <cstdio>

#include "control/ctl_registry.h"
#include "base/unicode.h"
#include "control/internal/registry_connector.h"
#include "control/node_keys.h"

namespace qvr {
namespace {
constexpr const char* kLocalMachineText = "My Computer (Local System)";
constexpr int kLocalMachineIndex = 2;  // of m_hHives
constexpr int kUsersIndex = 3;
}  // namespace

bool ctlRegistry::Show(const std::string& szMachineName) {
  // A listing still running belongs to the tree about to be replaced: it stops
  // at its next key, and the new tree is no longer busy on its account.
  ++show_generation_;
  m_bBusy = false;
  m_bRefreshing = false;

  m_Nodes->Clear();
  lvValues_.ListItems().Clear();
  m_colSelection->Clear();

  if (szMachineName.empty()) {
    ShowLocal();
  } else if (!ShowRemote(szMachineName)) {
    return false;
  }
  NavigateToKey(node_keys::kRootKey, true);
  return true;
}

void ctlRegistry::ShowLocal() {
  // The local registry, not the hives of a machine shown before.
  ReleaseRemoteHives();
  m_strMachineText = kLocalMachineText;
  AddRootAndHives({0, 1, 2, 3, 4});
}

bool ctlRegistry::ShowRemote(const std::string& szMachineName) {
  HKEY local_machine = 0, users = 0;
  const LONG rc_local_machine = control_internal::ConnectRegistry(
      szMachineName.c_str(), m_hHives[kLocalMachineIndex], &local_machine);
  const LONG rc_users =
      control_internal::ConnectRegistry(szMachineName.c_str(), m_hHives[kUsersIndex], &users);
  // The hives of the machine shown before are of no use to an empty tree
  // either.
  ReleaseRemoteHives();
  if (rc_local_machine != ERROR_SUCCESS && rc_users != ERROR_SUCCESS) return false;

  // A hive that did not connect stays 0, and the registry object then serves
  // it from this machine.
  remote_local_machine_ = rc_local_machine == ERROR_SUCCESS ? local_machine : 0;
  remote_users_ = rc_users == ERROR_SUCCESS ? users : 0;
  m_Registry->RegHKeyLocalMachine(remote_local_machine_);
  m_Registry->RegHKeyUsers(remote_users_);
  m_strMachineText = szMachineName;
  AddRootAndHives({kLocalMachineIndex, kUsersIndex});
  return true;
}

void ctlRegistry::AddRootAndHives(const std::vector<int>& hive_indexes) {
  // The computer node goes to the top level.
  m_Nodes->Add(toolkit::NodePtr(), toolkit::tvwFirst, node_keys::kRootKey, m_strMachineText,
               "ROOTKEY");
  for (int i : hive_indexes) {
    m_Nodes->Add(node_keys::kRootKey, toolkit::tvwChild, node_keys::HiveKey(m_hHives[i]),
                 m_strHiveNames[i], "REGKEY", "KEYOPEN");
  }
  // Every hive may be opened, whether it has sub-keys or not: positions 2 on
  // are the hive nodes, in the order added.
  const int32_t last = 1 + static_cast<int32_t>(hive_indexes.size());
  for (int32_t position = 2; position <= last; ++position) {
    toolkit::NodePtr hive = m_Nodes->Item(position);
    m_Nodes->Add(hive, toolkit::tvwChild, node_keys::PlaceholderKey(hive->Key()), "");
  }
}

void ctlRegistry::ReleaseRemoteHives() {
  if (m_Registry) {
    m_Registry->RegHKeyLocalMachine(0);
    m_Registry->RegHKeyUsers(0);
  }
  if (remote_local_machine_ != 0) RegCloseKey(remote_local_machine_);
  if (remote_users_ != 0) RegCloseKey(remote_users_);
  remote_local_machine_ = 0;
  remote_users_ = 0;
}

HKEY ctlRegistry::ShownHive(std::string_view hive_name) const {
  const bool remote = remote_local_machine_ != 0 || remote_users_ != 0;
  for (size_t i = 0; i < m_hHives.size(); ++i) {
    if (!EqualsNoCase(m_strHiveNames[i], hive_name)) continue;
    if (!remote) return m_hHives[i];
    if (m_hHives[i] == HKEY_LOCAL_MACHINE) return remote_local_machine_;
    if (m_hHives[i] == HKEY_USERS) return remote_users_;
  }
  return 0;
}

}  // namespace qvr
