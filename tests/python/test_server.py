"""The type library as JSON, registration, and the qvr-regsvr program."""
import json
import os
import subprocess

import qvrRegistryBrowser as q

BIN = os.environ.get("QVR_TEST_BIN_DIR", "")
LIBRARY = os.path.join(BIN, "server", "libqvrRegistryBrowser.so")
REGSVR = os.path.join(BIN, "tools", "qvr-regsvr", "qvr-regsvr")


def test_type_library_json_describes_the_module(tmp_path):
    lib = json.loads(q.typelib_json())
    assert lib["name"] == "qvrRegistryBrowser" and lib["libid"] == q.LIBID
    classes = {c["name"]: c for c in lib["classes"]}
    for name, cls in classes.items():
        assert getattr(q, name).clsid == cls["clsid"]
        assert getattr(q, name).creatable == cls["creatable"]
    assert classes["qvrClsRegistryObject"]["appobject"] and classes["qvrClsRegistryObject"]["predeclared"]
    assert classes["qvrClsRegistryObject"]["progid"] == "qvrRegistryBrowser.qvrClsRegistryObject"
    interfaces = {i["name"]: i for i in lib["interfaces"]}
    reg = interfaces["_qvrClsRegistryObject"]["members"]
    assert [m["slot"] for m in reg] == list(range(len(reg)))
    open_key = next(m for m in reg if m["name"] == "OpenKey")
    assert [(p["name"], p["optional"]) for p in open_key["params"]] == [
        ("uKey", False), ("szSubKey", False), ("fMustExist", True), ("vntIndexKey", True)]
    assert next(m for m in reg if m["name"] == "item")["dispid"] == 0
    keys = interfaces["_qvrClsKeys"]["members"]
    new_enum = next(m for m in keys if m["name"] == "NewEnum")
    assert new_enum["dispid"] == -4 and new_enum["hidden"]
    events = interfaces["__qvrClsRegistryObject"]
    assert events["source"] and [(m["name"], m["dispid"]) for m in events["members"]] == [
        ("KeyEnumerated", 1), ("ValueEnumerated", 2)]
    consts = {e["name"]: {v["name"]: v["value"] for v in e["values"]} for e in lib["enums"]}
    assert consts["StandardRegistryKeys"]["HKeyUsers"] == q.HKeyUsers
    path = tmp_path / "lib.json"
    q.write_typelib(str(path))
    assert json.loads(path.read_text()) == lib


def _clsid_server(reg, clsid):
    h = reg.OpenKey(q.HKeyClassesRoot, "CLSID\\" + clsid + "\\InprocServer32", True)
    if h == -1:
        return None
    try:
        return reg.GetValue(h, ""), reg.GetValue(h, "ThreadingModel")
    finally:
        reg.CloseKey(h)


def test_registration_round_trip_from_python():
    reg = q.qvrClsRegistryObject()
    clsid = q.qvrCollection.clsid
    assert _clsid_server(reg, clsid) is None
    q.register_server()
    path, model = _clsid_server(reg, clsid)
    assert os.path.samefile(path, LIBRARY) and model == "Apartment"
    h = reg.OpenKey(q.HKeyClassesRoot, "qvrRegistryBrowser.qvrCollection\\CLSID", True)
    assert reg.GetValue(h, "") == clsid
    reg.CloseKey(h)
    q.unregister_server()
    assert _clsid_server(reg, clsid) is None
    assert reg.OpenKey(q.HKeyClassesRoot, "qvrRegistryBrowser.qvrCollection", True) == -1
    assert reg.OpenKey(q.HKeyClassesRoot, "TypeLib\\" + q.LIBID, True) == -1


def test_qvr_regsvr_program(tmp_path):
    reg = q.qvrClsRegistryObject()
    clsid = q.qvrClsRegistryObject.clsid
    run = lambda *args: subprocess.run([REGSVR, *args], capture_output=True, text=True)
    r = run(LIBRARY)
    assert r.returncode == 0, r.stderr
    assert "DllRegisterServer" in r.stdout and "succeeded" in r.stdout
    assert os.path.samefile(_clsid_server(reg, clsid)[0], LIBRARY)
    r = run("/u", "/s", LIBRARY)
    assert r.returncode == 0 and r.stdout == ""
    assert _clsid_server(reg, clsid) is None
    out = tmp_path / "t.json"
    assert run("/t", str(out), LIBRARY).returncode == 0
    assert json.loads(out.read_text())["name"] == "qvrRegistryBrowser"
    assert run().returncode == 2
    assert run("/x", LIBRARY).returncode == 2
    assert run(str(tmp_path / "missing.so")).returncode == 3
    assert run("/lib/x86_64-linux-gnu/libc.so.6").returncode == 4 if os.path.exists(
        "/lib/x86_64-linux-gnu/libc.so.6") else True
