"""A full disk through the Python module: reads go on, and a write gives 112
(ERROR_DISK_FULL), as through the registry calls and qvr-reg. Simulated by
RLIMIT_FSIZE at one byte in the child: no file may grow, the -shm included."""
import os
import resource
import signal
import subprocess
import sys

SCRIPT = ("import qvrRegistryBrowser as q\n"
          "reg = q.qvrClsRegistryObject()\n"
          "key = reg.OpenKey(q.HKeyCurrentUser, 'Software\\\\FullDisk')\n"
          "print({})\n")


def _no_file_may_grow():
    signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
    resource.setrlimit(resource.RLIMIT_FSIZE, (1, 1))


def test_reads_go_on_and_a_write_gives_112_when_the_disk_is_full(tmp_path):
    env = dict(os.environ, QVR_REGISTRY=str(tmp_path / "local.sqlite"),
               QVR_MACHINES=str(tmp_path / "machines.conf"))
    run = lambda line, **kw: subprocess.run([sys.executable, "-c", SCRIPT.format(line)], env=env,
                                            capture_output=True, text=True, **kw)
    made = run("reg.SetValue(key, 'v', 'kept')")
    assert made.stdout.split() == ["0"], made.stderr
    full = run("reg.GetValue(key, 'v'), reg.SetValue(key, 'w', 'more'), reg.GetValue(key, 'v')",
               preexec_fn=_no_file_may_grow)
    assert full.stdout.split() == ["kept", "112", "kept"], full.stderr
