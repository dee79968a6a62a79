"""A full disk through the Python module: reads go on, and a write gives 112
(ERROR_DISK_FULL), as through the registry calls and qvr-reg.

The full disk is simulated: the child runs with RLIMIT_FSIZE at one byte, so
the system refuses to grow any file (EFBIG, SIGXFSZ ignored), the store's
-shm index included. tests/registry/store_access_test.cpp also fills a real
tmpfs where the machine lets it mount one.
"""
import os
import resource
import signal
import subprocess
import sys

MAKE = (
    "import qvrRegistryBrowser as q\n"
    "reg = q.qvrClsRegistryObject()\n"
    "key = reg.OpenKey(q.HKeyCurrentUser, 'Software\\\\FullDisk')\n"
    "print(reg.SetValue(key, 'v', 'kept'))\n"
)
READ_AND_WRITE = (
    "import qvrRegistryBrowser as q\n"
    "reg = q.qvrClsRegistryObject()\n"
    "key = reg.OpenKey(q.HKeyCurrentUser, 'Software\\\\FullDisk')\n"
    "print(reg.GetValue(key, 'v'), reg.SetValue(key, 'w', 'more'), reg.GetValue(key, 'v'))\n"
)


def _no_file_may_grow():
    signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
    resource.setrlimit(resource.RLIMIT_FSIZE, (1, 1))


def test_reads_go_on_and_a_write_gives_112_when_the_disk_is_full(tmp_path):
    env = dict(os.environ,
               QVR_REGISTRY=str(tmp_path / "local.sqlite"),
               QVR_MACHINES=str(tmp_path / "machines.conf"))
    made = subprocess.run([sys.executable, "-c", MAKE], env=env, capture_output=True,
                          text=True, check=True)
    assert made.stdout.split() == ["0"], made.stderr
    full = subprocess.run([sys.executable, "-c", READ_AND_WRITE], env=env,
                          capture_output=True, text=True, preexec_fn=_no_file_may_grow)
    assert full.stdout.split() == ["kept", "112", "kept"], full.stderr
