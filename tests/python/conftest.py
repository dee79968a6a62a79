# Every test of the module works on a fresh temporary registry: the store and
# machine table are pointed at a temporary folder before the module is
# imported (the library opens the store on first use and keeps it).
import os
import shutil
import tempfile

_dir = tempfile.mkdtemp(prefix="qvr-pytest-")
os.environ["QVR_REGISTRY"] = os.path.join(_dir, "local.sqlite")
os.environ["QVR_MACHINES"] = os.path.join(_dir, "machines.conf")
with open(os.environ["QVR_MACHINES"], "w") as f:
    f.write("# machines of this test run\n")


def pytest_sessionfinish(session, exitstatus):
    shutil.rmtree(_dir, ignore_errors=True)
