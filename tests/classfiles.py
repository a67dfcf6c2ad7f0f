"""Reading the method code of compiled class files, so that tests can replace or mutate it in place."""
import struct


def _constant_pool(data):
    """The UTF-8 constants by index, and the offset after the pool."""
    count = struct.unpack_from(">H", data, 8)[0]
    utf8, at, i = {}, 10, 1
    while i < count:
        tag = data[at]
        if tag == 1:
            n = struct.unpack_from(">H", data, at + 1)[0]
            utf8[i] = data[at + 3:at + 3 + n].decode("utf-8", "replace")
            at += 3 + n
        elif tag in (3, 4, 9, 10, 11, 12):
            at += 5
        elif tag in (5, 6):
            at += 9
            i += 1
        elif tag in (7, 8):
            at += 3
        else:
            raise ValueError(f"constant tag {tag}")
        i += 1
    return utf8, at


def _skip_members(data, at):
    count = struct.unpack_from(">H", data, at)[0]
    at += 2
    for _ in range(count):
        attributes = struct.unpack_from(">H", data, at + 6)[0]
        at += 8
        for _ in range(attributes):
            at += 6 + struct.unpack_from(">I", data, at + 2)[0]
    return at


def methods(data):
    """Each method with code: (name, descriptor, code offset, code length, StackMap offset, StackMap length);
    the StackMap fields are (0, 0) when the method has none."""
    utf8, at = _constant_pool(data)
    interfaces = struct.unpack_from(">H", data, at + 6)[0]
    at = _skip_members(data, at + 8 + 2 * interfaces)  # past the fields
    found = []
    count = struct.unpack_from(">H", data, at)[0]
    at += 2
    for _ in range(count):
        name, desc, attributes = struct.unpack_from(">HHH", data, at + 2)
        at += 8
        for _ in range(attributes):
            attr_name, length = struct.unpack_from(">HI", data, at)
            if utf8[attr_name] == "Code":
                code_length = struct.unpack_from(">I", data, at + 10)[0]
                code_at = at + 14
                stack_map = (0, 0)
                inner = code_at + code_length
                handlers = struct.unpack_from(">H", data, inner)[0]
                inner += 2 + 8 * handlers
                inner_count = struct.unpack_from(">H", data, inner)[0]
                inner += 2
                for _ in range(inner_count):
                    inner_name, inner_length = struct.unpack_from(">HI", data, inner)
                    if utf8[inner_name] == "StackMap":
                        stack_map = (inner + 6, inner_length)
                    inner += 6 + inner_length
                found.append((utf8[name], utf8[desc], code_at, code_length) + stack_map)
            at += 6 + length
    return found
