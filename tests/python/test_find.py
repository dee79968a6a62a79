"""find: a registry search as an iterator of matches, from Python."""
import pytest

import qvrRegistryBrowser as q


def _tree():
    reg = q.qvrClsRegistryObject()
    h = reg.OpenKey(q.HKeyCurrentUser, "Software\\PyFind\\Python\\Deep")
    reg.CloseKey(h)
    h = reg.OpenKey(q.HKeyCurrentUser, "Software\\PyFind")
    assert reg.SetValue(h, "Name", "Python 3") == 0
    assert reg.SetValue(h, "Count", 300) == 0
    reg.CloseKey(h)


def test_find_yields_matches_in_tree_order_with_their_data():
    _tree()
    top = "HKEY_CURRENT_USER\\Software\\PyFind"
    found = [(m.kind, m.key_path, m.value_name, m.data)
             for m in q.find("HKCU\\Software\\PyFind", "python")]
    assert found == [("data", top, "Name", "Python 3"), ("key", top + "\\Python", None, None)]
    # 300 is stored as 2C 01 00 00: data other than text is found by its hex.
    (m,) = q.find("HKCU\\Software\\PyFind", "2c01", keys=False, value_names=False)
    assert (m.value_name, m.type, m.data) == ("Count", 4, 300)
    assert list(q.find("HKCU\\Software\\PyFind", "python", match_case=True, whole=True)) == []
    assert [m.key_path for m in q.find("HKCU\\Software\\PyFind", "deep", recurse=False)] == []
    with pytest.raises(FileNotFoundError):
        q.find("HKCU\\Software\\PyFind\\Missing", "x")


def test_a_cancelled_search_ends_its_iteration():
    reg = q.qvrClsRegistryObject()
    for i in range(300):
        reg.CloseKey(reg.OpenKey(q.HKeyCurrentUser, "Software\\PyMany\\K%03d" % i))
    it = q.find("HKCU\\Software\\PyMany", "k")
    first = next(it)
    it.cancel()
    rest = list(it)
    assert first.key_path.endswith("K000")
    assert rest == []
    assert it.keys_visited >= 1
