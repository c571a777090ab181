-- Wireshark dissector for the frames Trelvo exchanges with a USB-Wiegand interface.
--
-- Every message is one frame in one USB bulk transfer: u16 LE total length, a command byte
-- (an answer carries its request's byte with bit 7 set), the payload, and a CRC-16/MODBUS of
-- everything before it, low byte first. Frames are found by shape: the length field equals
-- the transfer size and either the CRC-16 residue is 0 or the command is one of ours (then a
-- bad CRC is reported, not skipped).
--
-- This file is the template: the build writes the dissector with its card format table to
-- <build folder>/wireshark/trelvo.lua, and that one is the file to load.
-- Use:  wireshark -X lua_script:build/debug/wireshark/trelvo.lua capture.pcapng
--       tshark -X lua_script:build/debug/wireshark/trelvo.lua -r capture.pcapng -Y trelvo
-- or copy it into Wireshark's personal Lua plugins folder.

local trelvo = Proto("trelvo", "Trelvo USB-Wiegand frames")

local band = (bit32 or bit).band
local bxor = (bit32 or bit).bxor
local rshift = (bit32 or bit).rshift
local lshift = (bit32 or bit).lshift

local FRAME_OVERHEAD = 5 -- length field, command byte, CRC-16
local RESPONSE_BIT = 0x80

local interface_commands = {
    [0x4F] = "open reader channel",
    [0x6F] = "close reader channel",
    [0x53] = "output test",
    [0x54] = "reader command",
    [0x57] = "transmission report",
}
local reader_commands = {
    [0x4D] = "identify",
    [0x63] = "read configuration",
    [0x43] = "write configuration",
    [0x5A] = "upgrade header",
    [0x59] = "upgrade block",
    [0x79] = "upgrade entry",
    [0x7A] = "upgrade finish",
}

local function command_name(byte)
    local request = band(byte, 0x7F)
    local name = interface_commands[request] or "unknown"
    if band(byte, RESPONSE_BIT) ~= 0 then
        return "answer to " .. name
    end
    return name
end

local command_names = {}
for byte, _ in pairs(interface_commands) do
    command_names[byte] = command_name(byte)
    command_names[byte + RESPONSE_BIT] = command_name(byte + RESPONSE_BIT)
end

local hi_lo = { [0] = "Hi", [1] = "Lo" }
local status_names = { [0] = "accepted" }
local frame_sizes = {
    [0] = "24+2 bity", [1] = "32+2 bity", [2] = "40+2 bity", [3] = "48+2 bity",
    [4] = "56+2 bity", [5] = "64+2 bity (standard)", [6] = "64+2 bity (standard)",
    [7] = "64+2 bity (standard)",
}
local report_kinds = {
    [0] = "transmission not recognised", [1] = "keypad key", [2] = "card",
    [3] = "card with its parity bits",
}

local f = {
    len = ProtoField.uint16("trelvo.len", "Length", base.DEC),
    -- The letter; an answer carries it with bit 7 set (trelvo.response).
    cmd = ProtoField.char("trelvo.cmd", "Command", base.HEX, nil, 0x7F),
    cmd_name = ProtoField.string("trelvo.cmd_name", "Command name"),
    response = ProtoField.bool("trelvo.response", "Answer", 8, nil, RESPONSE_BIT),
    payload = ProtoField.bytes("trelvo.payload", "Payload"),
    crc = ProtoField.uint16("trelvo.crc", "CRC-16", base.HEX),
    crc_ok = ProtoField.bool("trelvo.crc_ok", "CRC-16 good"),
    status = ProtoField.uint8("trelvo.status", "Status", base.DEC, status_names),
    mode = ProtoField.uint8("trelvo.mode", "Channel mode", base.DEC,
        { [0] = "transmission reports", [1] = "reader commands" }),
    led = ProtoField.uint8("trelvo.led", "LED line", base.DEC, hi_lo, 0x01),
    buz = ProtoField.uint8("trelvo.buz", "Buzzer line", base.DEC, hi_lo, 0x02),
    reader_cmd = ProtoField.string("trelvo.reader_cmd", "Reader command"),
    reader_cmd_name = ProtoField.string("trelvo.reader_cmd_name", "Reader command name"),
    answer_lead = ProtoField.uint8("trelvo.answer_lead", "Leading answer byte", base.HEX),
    answer_data = ProtoField.bytes("trelvo.answer_data", "Answer data"),
    -- 'M' answer: the reader's identity
    ident_number = ProtoField.uint16("trelvo.ident.number", "Reader number", base.DEC),
    ident_type_code = ProtoField.uint16("trelvo.ident.type_code", "Type code", base.DEC),
    ident_type = ProtoField.uint8("trelvo.ident.type", "Reader type", base.DEC),
    ident_variant = ProtoField.uint8("trelvo.ident.variant", "Type variant", base.DEC),
    ident_firmware = ProtoField.uint16("trelvo.ident.firmware", "Firmware version", base.DEC),
    ident_extra = ProtoField.uint16("trelvo.ident.extra", "Extra word", base.HEX),
    -- 'c' answer and 'C' request: the configuration record
    cfg_mark = ProtoField.uint8("trelvo.config.mark", "Record mark", base.DEC),
    cfg_signal = ProtoField.uint8("trelvo.config.signal_flags", "Signal flags", base.HEX),
    cfg_led_signal = ProtoField.bool("trelvo.config.led_signal", "Sygnalizacja odczytu", 8, nil,
        0x80),
    cfg_buzzer = ProtoField.bool("trelvo.config.buzzer", "Buzzer aktywny", 8, nil, 0x40),
    cfg_led_steady = ProtoField.uint8("trelvo.config.led_steady", "Stan stabilny", base.DEC,
        { [0] = "Czerwony", [1] = "Zielony" }, 0x01),
    cfg_led_time = ProtoField.uint8("trelvo.config.led_time", "Czas sygnalizacji (x 0.1s)",
        base.DEC),
    cfg_buzzer_pattern = ProtoField.uint8("trelvo.config.buzzer_pattern",
        "Buzzer pattern (60 ms per bit)", base.HEX, nil, 0x7F),
    cfg_format = ProtoField.uint8("trelvo.config.wiegand_format", "Wiegand format", base.HEX),
    cfg_size = ProtoField.uint8("trelvo.config.wiegand_size", "Wiegand", base.DEC, frame_sizes,
        0x07),
    cfg_no_parity = ProtoField.bool("trelvo.config.no_parity", "Bez bitów parzystości", 8, nil,
        0x08),
    cfg_order = ProtoField.uint8("trelvo.config.byte_order", "Kolejność bajtów", base.DEC,
        { [0] = "Hi...Lo (standard)", [1] = "Lo...Hi" }, 0x20),
    cfg_end_parity = ProtoField.uint8("trelvo.config.end_parity", "Końcowy bit parzystości",
        base.DEC, { [0] = "Even", [1] = "Odd (standard)" }, 0x40),
    cfg_begin_parity = ProtoField.uint8("trelvo.config.begin_parity",
        "Początkowy bit parzystości", base.DEC, { [0] = "Even (standard)", [1] = "Odd" }, 0x80),
    cfg_keypad = ProtoField.uint8("trelvo.config.keypad", "Klawiatura", base.DEC,
        { [0] = "4 bity", [1] = "8 bitów" }, 0x01),
    cfg_cards = ProtoField.uint8("trelvo.config.card_types", "Czytane karty", base.HEX),
    cfg_mifare = ProtoField.bool("trelvo.config.mifare", "Mifare", 8, nil, 0x01),
    cfg_icode = ProtoField.bool("trelvo.config.icode", "iCode", 8, nil, 0x02),
    cfg_reserved = ProtoField.uint8("trelvo.config.reserved", "Reserved", base.HEX),
    cfg_crc32 = ProtoField.uint32("trelvo.config.crc32", "Record CRC-32", base.HEX),
    cfg_crc32_ok = ProtoField.bool("trelvo.config.crc32_ok", "Record CRC-32 good"),
    -- upgrade
    image_word0 = ProtoField.uint16("trelvo.image.word0", "Header word 0", base.HEX),
    image_version = ProtoField.uint16("trelvo.image.version", "Image version", base.DEC),
    image_blocks = ProtoField.uint16("trelvo.image.blocks", "Block count", base.DEC),
    image_reserved = ProtoField.uint16("trelvo.image.reserved", "Reserved word", base.HEX),
    image_rest = ProtoField.bytes("trelvo.image.header_rest", "Further header bytes"),
    block_index = ProtoField.uint16("trelvo.block.index", "Block index", base.DEC),
    block_data = ProtoField.bytes("trelvo.block.data", "Block data"),
    entry = ProtoField.bytes("trelvo.entry", "Reader entry"),
    -- 'W' transmission report
    report_kind = ProtoField.uint8("trelvo.report.kind", "Kind", base.DEC, report_kinds, 0xC0),
    report_bits = ProtoField.uint8("trelvo.report.bits", "Bit count", base.DEC),
    report_data = ProtoField.bytes("trelvo.report.data", "Report data"),
    report_text = ProtoField.string("trelvo.report.text", "Line"),
    -- Every reading of a card report, as the programs list them.
    report_reading = ProtoField.string("trelvo.report.reading", "Reading"),
}
local field_list = {}
for _, field in pairs(f) do
    field_list[#field_list + 1] = field
end
trelvo.fields = field_list

local expert_bad_crc = ProtoExpert.new("trelvo.crc_bad", "Bad CRC-16: the receiver drops this frame",
    expert.group.CHECKSUM, expert.severity.ERROR)
local expert_bad_crc32 = ProtoExpert.new("trelvo.config.crc32_bad",
    "Bad record CRC-32: the reader refuses this record", expert.group.CHECKSUM,
    expert.severity.ERROR)
local expert_short = ProtoExpert.new("trelvo.short", "Payload shorter than this command needs",
    expert.group.MALFORMED, expert.severity.WARN)
trelvo.experts = { expert_bad_crc, expert_bad_crc32, expert_short }

-- CRC-16/MODBUS (reflected 0x8005, initial 0xFFFF), a bit at a time.
local function crc16(bytes, first, count)
    local reg = 0xFFFF
    for i = first, first + count - 1 do
        reg = bxor(reg, bytes:get_index(i))
        for _ = 1, 8 do
            if band(reg, 1) ~= 0 then
                reg = bxor(rshift(reg, 1), 0xA001)
            else
                reg = rshift(reg, 1)
            end
        end
    end
    return reg
end

-- CRC-32/MPEG-2 (0x04C11DB7, most significant bit first, initial 0xFFFFFFFF, no final XOR).
local function crc32(bytes, first, count)
    local reg = 0xFFFFFFFF
    for i = first, first + count - 1 do
        reg = bxor(reg, lshift(bytes:get_index(i), 24))
        for _ = 1, 8 do
            if band(reg, 0x80000000) ~= 0 then
                reg = bxor(lshift(reg, 1), 0x04C11DB7)
            else
                reg = lshift(reg, 1)
            end
        end
    end
    return reg % 4294967296
end

-- The test tab's line for a report payload (bytes 0 .. count-1), character for character.
local function format_report(p, count)
    if count == 0 then
        return ""
    end
    local parts = {}
    local function put(text)
        parts[#parts + 1] = text
    end
    local function hex_run(first)
        for i = first, count - 1 do
            put(string.format(i + 1 < count and "%02X," or "%02X", p[i]))
        end
    end
    local function bit(byte, n)
        return math.floor(byte / 2 ^ n) % 2
    end
    local head = p[0]
    local kind = math.floor(head / 64)
    local bits = head % 64 + 4
    -- Kinds 1 and 3 describe themselves in byte 1; a report too short to carry it reads as 0.
    local second = count > 1 and p[1] or 0
    if kind == 0 then
        hex_run(1)
        put(string.format("   {nie rozpoznana transmisja %d bit}", bits))
    elseif kind == 1 then
        for i = 0, bits - 1 do
            -- The key byte holds 8 bits; further digits of a longer key print as 0.
            put(i < 8 and tostring(bit(second, 7 - i)) or "0")
        end
        local key = bits == 4 and math.floor(second / 16) or second % 16
        put(string.format("   {klawisz %d}", key))
    elseif kind == 2 then
        hex_run(1)
        put(string.format("   {karta: %d bit}", bits))
    else
        put(string.format("%d_", bit(second, 4)))
        hex_run(2)
        put(string.format("_%d   {karta: ", bit(second, 0)))
        put(bit(second, 5) == 1 and "Odd" or "Even")
        put(string.format(" parity + %d bit + ", bits))
        put(bit(second, 1) == 1 and "Odd" or "Even")
        put(" parity}")
    end
    return table.concat(parts)
end

-- The card format table, written by the build from the decoder's own rows: name, bits,
-- preference, fields {kind, first, width}, parity bits {name, position, odd, {covered}},
-- positions 0-based in the order the bits travel.
local format_rows = {} -- @FORMAT_ROWS@

local field_labels = { facility = "FC", company = "CC", card = "CN" }

local function bit_of(byte, n)
    return math.floor(byte / 2 ^ n) % 2
end

-- The frame a card report carries (1-based): kinds 0 and 2 whole, kind 3 rebuilt from its
-- parity bits' values around the data bits; nil for keys and payloads short of their bits.
local function report_frame(p, count)
    local kind = math.floor(p[0] / 64)
    local n = p[0] % 64 + 4
    local first = kind == 3 and 2 or 1
    if kind == 1 or count < first + math.ceil(n / 8) then
        return nil
    end
    local frame = {}
    if kind == 3 then
        frame[1] = bit_of(p[1], 4)
    end
    for i = 0, n - 1 do
        frame[#frame + 1] = bit_of(p[first + math.floor(i / 8)], 7 - i % 8)
    end
    if kind == 3 then
        frame[#frame + 1] = bit_of(p[1], 0)
    end
    return frame
end

-- Each parity bit against the value the row gives it for the data bits (the parity bits it
-- covers as the row computes them): "ok", "both", or the wrong bits in frame order.
local function parity_verdict(row, frame)
    local expected = {}
    for i = 1, #frame do
        expected[i] = frame[i]
    end
    for _, bit in ipairs(row.parity) do
        local sum = 0
        for _, c in ipairs(bit[4]) do
            sum = sum + expected[c + 1]
        end
        expected[bit[2] + 1] = ((sum % 2 == 1) ~= bit[3]) and 1 or 0
    end
    local wrong = {}
    for _, bit in ipairs(row.parity) do
        if expected[bit[2] + 1] ~= frame[bit[2] + 1] then
            wrong[#wrong + 1] = bit
        end
    end
    table.sort(wrong, function(a, b) return a[2] < b[2] end)
    local names = {}
    for _, bit in ipairs(wrong) do
        names[#names + 1] = bit[1]
    end
    local text = table.concat(names, "+")
    if text == "" then
        return "ok"
    end
    return text == "begin+end" and "both" or text
end

-- "H10301: FC 42, CN 69, parity ok" for every row of the frame's length, those with right
-- parity first, then by preference and table order.
local function card_readings(p, count)
    local frame = count > 0 and report_frame(p, count) or nil
    if frame == nil then
        return {}
    end
    local found = {}
    for index, row in ipairs(format_rows) do
        if row.bits == #frame then
            local parts = {}
            for _, field in ipairs(row.fields) do
                local value = UInt64(0)
                for i = field[2], field[2] + field[3] - 1 do
                    value = value * 2 + frame[i + 1]
                end
                parts[#parts + 1] = field_labels[field[1]] .. " " .. tostring(value)
            end
            local verdict = parity_verdict(row, frame)
            found[#found + 1] = {
                text = row.name .. ": " .. table.concat(parts, ", ") .. ", parity " .. verdict,
                ok = verdict == "ok", preference = row.preference, index = index,
            }
        end
    end
    table.sort(found, function(a, b)
        if a.ok ~= b.ok then
            return a.ok
        end
        if a.preference ~= b.preference then
            return a.preference < b.preference
        end
        return a.index < b.index
    end)
    local texts = {}
    for _, reading in ipairs(found) do
        texts[#texts + 1] = reading.text
    end
    return texts
end

-- Answers to 'T' do not repeat the reader command: each is paired with the last request seen
-- before it (in capture order, on the first pass; later passes use what was noted).
local last_reader_command = nil
local answered = {}

function trelvo.init()
    last_reader_command = nil
    answered = {}
end

local function add_config(tree, range)
    local t = tree:add(trelvo, range, "Configuration record")
    t:add(f.cfg_mark, range(0, 1))
    local signal = t:add(f.cfg_signal, range(1, 1))
    signal:add(f.cfg_led_signal, range(1, 1))
    signal:add(f.cfg_buzzer, range(1, 1))
    signal:add(f.cfg_led_steady, range(1, 1))
    t:add(f.cfg_led_time, range(2, 1))
    t:add(f.cfg_buzzer_pattern, range(3, 1))
    local format = t:add(f.cfg_format, range(4, 1))
    format:add(f.cfg_size, range(4, 1))
    format:add(f.cfg_no_parity, range(4, 1))
    format:add(f.cfg_order, range(4, 1))
    format:add(f.cfg_end_parity, range(4, 1))
    format:add(f.cfg_begin_parity, range(4, 1))
    t:add(f.cfg_keypad, range(5, 1))
    local cards = t:add(f.cfg_cards, range(6, 1))
    cards:add(f.cfg_mifare, range(6, 1))
    cards:add(f.cfg_icode, range(6, 1))
    t:add(f.cfg_reserved, range(7, 1))
    return t
end

local function add_identity(tree, range)
    local word = range(0, 4):le_uint()
    local type_code = band(rshift(word, 16), 0x3FF)
    local type_number = (type_code + 20) % 100
    local variant = band(rshift(word, 26), 0x3)
    local firmware = range(4, 2):le_uint()
    local t = tree:add(trelvo, range, string.format("Reader KV-T%dX, Nr: %05d (soft: %d)",
        type_number, band(word, 0xFFFF), firmware))
    t:add_le(f.ident_number, range(0, 2))
    t:add(f.ident_type_code, range(2, 2), type_code)
    t:add(f.ident_type, range(2, 2), type_number):set_generated()
    t:add(f.ident_variant, range(3, 1), variant)
    t:add_le(f.ident_firmware, range(4, 2))
    t:add_le(f.ident_extra, range(6, 2))
    return type_number, firmware
end

local function short(tree, range, needed)
    if range:len() < needed then
        tree:add_proto_expert_info(expert_short)
        return true
    end
    return false
end

-- 'T' request: the reader command and its data. Returns a text for the Info column.
local function dissect_reader_request(tree, pinfo, payload, bytes, payload_offset)
    local command = payload(0, 1):uint()
    tree:add(f.reader_cmd, payload(0, 1), string.char(command))
    tree:add(f.reader_cmd_name, payload(0, 1), reader_commands[command] or "unknown")
    if not pinfo.visited then
        last_reader_command = command
    end
    local info = string.format("%s (%s)", string.char(command), reader_commands[command] or "unknown")
    local data = payload:len() > 1 and payload(1) or nil
    local length = data and data:len() or 0
    if command == 0x43 then -- 'C'
        if short(tree, payload, 13) then
            return info
        end
        add_config(tree, data(0, 8))
        tree:add_le(f.cfg_crc32, data(8, 4))
        local good = crc32(bytes, payload_offset + 1, 8) == data(8, 4):le_uint()
        tree:add(f.cfg_crc32_ok, data(8, 4), good):set_generated()
        if not good then
            tree:add_proto_expert_info(expert_bad_crc32)
        end
    elseif command == 0x5A then -- 'Z'
        if short(tree, payload, 17) then
            return info
        end
        local h = tree:add(trelvo, data(0, 16), "Image header")
        h:add_le(f.image_word0, data(0, 2))
        h:add_le(f.image_version, data(2, 2))
        h:add_le(f.image_blocks, data(4, 2))
        h:add_le(f.image_reserved, data(6, 2))
        h:add(f.image_rest, data(8, 8))
        info = info .. string.format(" version %d, %d blocks", data(2, 2):le_uint(),
            data(4, 2):le_uint())
    elseif command == 0x59 then -- 'Y'
        if short(tree, payload, 3) then
            return info
        end
        tree:add_le(f.block_index, data(0, 2))
        if length > 2 then
            tree:add(f.block_data, data(2))
        end
        info = info .. string.format(" %d", data(0, 2):le_uint())
    elseif command == 0x79 then -- 'y'
        if data then
            tree:add(f.entry, data)
        end
    elseif data then
        tree:add(f.answer_data, data)
    end
    return info
end

-- 'T' answer: the leading byte, then what the paired reader command answers.
local function dissect_reader_answer(tree, pinfo, payload)
    if not pinfo.visited then
        answered[pinfo.number] = last_reader_command
    end
    local command = answered[pinfo.number]
    if payload:len() < 1 then
        tree:add_proto_expert_info(expert_short)
        return "answer"
    end
    tree:add(f.answer_lead, payload(0, 1))
    local info = "answer"
    if command then
        tree:add(f.reader_cmd, string.char(command)):set_generated()
        tree:add(f.reader_cmd_name, reader_commands[command] or "unknown"):set_generated()
        info = string.format("answer to %s", string.char(command))
    end
    local data = payload:len() > 1 and payload(1) or nil
    if not data then
        return info
    end
    if data:len() == 8 and command == 0x4D then
        local type_number, firmware = add_identity(tree, data)
        info = info .. string.format(": KV-T%dX soft %d", type_number, firmware)
    elseif data:len() == 8 and command == 0x63 then
        add_config(tree, data)
    elseif data:len() == 1 then
        tree:add(f.status, data)
        info = info .. (data:uint() == 0 and ": accepted" or string.format(": refused (%d)",
            data:uint()))
    else
        tree:add(f.answer_data, data)
    end
    return info
end

local function dissect_report(tree, payload)
    local count = payload:len()
    local p = {}
    for i = 0, count - 1 do
        p[i] = payload(i, 1):uint()
    end
    local line = format_report(p, count)
    if count > 0 then
        tree:add(f.report_kind, payload(0, 1))
        tree:add(f.report_bits, payload(0, 1), p[0] % 64 + 4)
        if count > 1 then
            tree:add(f.report_data, payload(1))
        end
    end
    tree:add(f.report_text, payload, line)
    local readings = card_readings(p, count)
    for _, text in ipairs(readings) do
        tree:add(f.report_reading, payload, text):set_generated()
    end
    if readings[1] ~= nil then
        return line .. " | " .. readings[1]
    end
    return line
end

local function dissect_frame(tvb, pinfo, root)
    local n = tvb:len()
    local bytes = tvb:bytes()
    local command = tvb(2, 1):uint()
    local good = crc16(bytes, 0, n) == 0

    pinfo.cols.protocol = "TRELVO"
    local tree = root:add(trelvo, tvb(), "Trelvo frame")
    tree:add_le(f.len, tvb(0, 2))
    tree:add(f.cmd, tvb(2, 1))
    tree:add(f.cmd_name, tvb(2, 1), command_name(command))
    tree:add(f.response, tvb(2, 1))
    local payload_length = n - FRAME_OVERHEAD
    local payload = payload_length > 0 and tvb(3, payload_length) or tvb(3, 0)
    local crc_item = tree:add_le(f.crc, tvb(n - 2, 2))
    tree:add(f.crc_ok, tvb(n - 2, 2), good):set_generated()
    if not good then
        crc_item:add_proto_expert_info(expert_bad_crc)
    end

    local info = string.char(band(command, 0x7F)) .. " " .. command_name(command)
    local request = band(command, 0x7F)
    if band(command, RESPONSE_BIT) ~= 0 then
        if request == 0x54 then
            info = "T " .. dissect_reader_answer(tree, pinfo, payload)
        elseif payload_length == 1 then
            tree:add(f.status, payload)
            info = info .. (payload:uint() == 0 and ": accepted" or ": refused")
        elseif payload_length > 0 then
            tree:add(f.answer_data, payload)
        end
    elseif command == 0x4F and payload_length >= 1 then
        tree:add(f.mode, payload(0, 1))
        info = info .. string.format(", mode %d", payload(0, 1):uint())
    elseif command == 0x53 and payload_length >= 1 then
        tree:add(f.led, payload(0, 1))
        tree:add(f.buz, payload(0, 1))
    elseif command == 0x54 and payload_length >= 1 then
        info = "T " .. dissect_reader_request(tree, pinfo, payload, bytes, 3)
    elseif command == 0x57 then
        info = "W " .. dissect_report(tree, payload)
    elseif payload_length > 0 then
        tree:add(f.payload, payload)
    end
    if not good then
        info = info .. " [bad CRC-16]"
    end
    pinfo.cols.info = info
    return n
end

local function is_trelvo_frame(tvb)
    local n = tvb:len()
    if n < FRAME_OVERHEAD or tvb(0, 2):le_uint() ~= n then
        return false
    end
    if crc16(tvb:bytes(), 0, n) == 0 then
        return true
    end
    -- A damaged frame of ours is still shown, with its CRC error.
    return interface_commands[band(tvb(2, 1):uint(), 0x7F)] ~= nil
end

local function heuristic(tvb, pinfo, root)
    if not is_trelvo_frame(tvb) then
        return false
    end
    dissect_frame(tvb, pinfo, root)
    return true
end

function trelvo.dissector(tvb, pinfo, root)
    if not is_trelvo_frame(tvb) then
        return 0
    end
    return dissect_frame(tvb, pinfo, root)
end

trelvo:register_heuristic("usb.bulk", heuristic)
