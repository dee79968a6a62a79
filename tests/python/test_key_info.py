"""key_info: what RegQueryInfoKeyA tells of a key, from Python."""
import datetime

import pytest

import qvrRegistryBrowser as q


def test_key_info_counts_and_dates_the_last_write():
    reg = q.qvrClsRegistryObject()
    h = reg.OpenKey(q.HKeyCurrentUser, "Software\\PyKeyInfo\\Sub")
    reg.CloseKey(h)
    h = reg.OpenKey(q.HKeyCurrentUser, "Software\\PyKeyInfo")
    before = datetime.datetime.now(datetime.timezone.utc) - datetime.timedelta(seconds=1)
    assert reg.SetValue(h, "N\u00e4me", "abc") == 0
    reg.CloseKey(h)
    info = q.key_info("HKCU\\Software\\PyKeyInfo")
    assert isinstance(info, q.KeyInfo)
    assert (info.sub_keys, info.max_sub_key_len, info.values) == (1, 3, 1)
    assert (info.max_value_name_len, info.max_value_len, info.class_name) == (4, 8, "")
    assert info.last_write.tzinfo == datetime.timezone.utc
    assert before <= info.last_write <= datetime.datetime.now(datetime.timezone.utc)
    with pytest.raises(FileNotFoundError):
        q.key_info("HKCU\\Software\\PyKeyInfo\\Missing")
    with pytest.raises(ValueError):
        q.key_info("HKXX\\Software")
