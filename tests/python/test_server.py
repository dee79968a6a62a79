"""The type library as JSON and registration, from Python."""
import json

import qvrRegistryBrowser as q


def test_type_library_json_describes_the_module(tmp_path):
    lib = json.loads(q.typelib_json())
    assert lib["name"] == "qvrRegistryBrowser" and lib["libid"] == q.LIBID
    classes = {c["name"]: c for c in lib["classes"]}
    for name, cls in classes.items():
        assert getattr(q, name).clsid == cls["clsid"]
        assert getattr(q, name).creatable == cls["creatable"]
    assert classes["qvrClsRegistryObject"]["appobject"] and classes["qvrClsRegistryObject"]["predeclared"]
    interfaces = {i["name"]: i for i in lib["interfaces"]}
    reg = interfaces["_qvrClsRegistryObject"]["members"]
    assert [m["slot"] for m in reg] == list(range(len(reg)))
    open_key = next(m for m in reg if m["name"] == "OpenKey")
    assert [(p["name"], p["optional"]) for p in open_key["params"]] == [
        ("uKey", False), ("szSubKey", False), ("fMustExist", True), ("vntIndexKey", True)]
    keys = interfaces["_qvrClsKeys"]["members"]
    new_enum = next(m for m in keys if m["name"] == "NewEnum")
    assert new_enum["dispid"] == -4 and new_enum["hidden"]
    assert interfaces["__qvrClsRegistryObject"]["source"]
    consts = {e["name"]: {v["name"]: v["value"] for v in e["values"]} for e in lib["enums"]}
    assert consts["StandardRegistryKeys"]["HKeyUsers"] == q.HKeyUsers
    path = tmp_path / "lib.json"
    q.write_typelib(str(path))
    assert json.loads(path.read_text()) == lib


def test_registration_round_trip_from_python():
    # What registration writes is tested in C++; here, that Python reaches it.
    reg = q.qvrClsRegistryObject()
    server = "CLSID\\" + q.qvrCollection.clsid + "\\InprocServer32"
    assert reg.OpenKey(q.HKeyClassesRoot, server, True) == -1
    q.register_server()
    h = reg.OpenKey(q.HKeyClassesRoot, server, True)
    assert h > 0
    reg.CloseKey(h)
    q.unregister_server()
    assert reg.OpenKey(q.HKeyClassesRoot, server, True) == -1
