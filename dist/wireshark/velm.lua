-- VELM: the frames of the home-automation field bus in Wireshark, named as VELM's bus monitor
-- names them. Decodes UDP to and from the bus switch (ports 2001 and 2002 unless the
-- preferences say otherwise) and the serial captures VELM and velm-sim write (link type
-- USER0: one direction byte, 0 from the tool, 1 from the bus, then the frame).
--
-- The names, the parameters and the summary line follow VELM's frame decoder word for word;
-- tests/data/frame_samples.tsv and the tshark test hold the two together. The gateway password
-- is never shown in the tree (the packet bytes are the capture's, as always).
local velm = Proto("velm", "VELM field bus")

local f_summary = ProtoField.string("velm.summary", "Summary")
local f_kind = ProtoField.string("velm.kind", "Frame")
local f_family = ProtoField.string("velm.family", "Family")
local f_operation = ProtoField.string("velm.operation", "Operation")
local f_parameters = ProtoField.string("velm.parameters", "Parameters")
local f_status = ProtoField.string("velm.status", "Status")
local f_subnet = ProtoField.uint16("velm.subnet", "Subnet ID")
local f_module = ProtoField.uint8("velm.module", "Module address")
local f_password = ProtoField.string("velm.password", "Password block")
local f_problem = ProtoField.string("velm.problem", "Dropped by the tool")
velm.fields = {f_summary, f_kind, f_family, f_operation, f_parameters, f_status, f_subnet,
               f_module, f_password, f_problem}

velm.prefs.gateway_port = Pref.uint("Bus switch UDP port", 2001, "The bus switch's port")
velm.prefs.tool_port = Pref.uint("Tool UDP port", 2002, "The tool's local port")

local band, rshift, bxor = bit32.band, bit32.rshift, bit32.bxor
local function hex(v) return string.format("%02X", v) end
local function bytes_text(b, at, count)
  local parts = {}
  for i = 0, count - 1 do parts[#parts + 1] = hex(b[at + i]) end
  return table.concat(parts, " ")
end
local function bytes_words(b, at, count)
  if count > 0 then return "bytes " .. bytes_text(b, at, count) end
  return ""
end

local STATUS = {"OK!", "Module Address Error!", "Module Channel No. Error!", "Memory Error!",
                "Parameter Error!", "Command Error!", "Module Address Occupied!", "IR Error"}
local function status_text(s) return STATUS[s] or "Response Error!" end

-- The action pairs of timer events; input bindings add the alarm before "Invalid".
local EVENT = {{2, 1, "Light On"}, {2, 2, "Light Off"}, {2, 3, "Light Toggle"},
               {1, 1, "Curtain Open"}, {1, 2, "Curtain Close"}, {1, 3, "Curtain Stop"},
               {0, 4, "Scene Control"}, {3, 4, "IR Control"}}
local function action_text(command, sub, alarm)
  for _, a in ipairs(EVENT) do
    if a[1] == command and a[2] == sub then return a[3] end
  end
  if alarm and command == 5 and sub == 2 then return "Alarm" end
  return "Invalid"
end

local WEEKDAYS = {[0] = "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday",
                  "Saturday"}
local MODES = {[0] = "Once", "Minute(repeat)", "Hour(repeat)", "Day(repeat)", "Week(repeat)",
               "Month(repeat)", "Year(repeat)"}
local CONTROL_MODES = {[0] = "NC", "NO", "NC/NO"}

local function action_words(action, module, channel, parameter)
  if action == "Invalid" then return action end
  if action == "Scene Control" then return action .. ", scene " .. parameter end
  local text = action .. ", module " .. module
  if action == "IR Control" then return text .. ", IR " .. parameter end
  if channel ~= 255 then text = text .. ", channel " .. channel end
  return text
end

-- d[at..at+6]: mode, command, sub-command, module, channel - 1, scene or IR, delay.
local function binding_words(b, at)
  local action = action_text(b[at + 1], b[at + 2], true)
  local channel = b[at + 4] == 0xFF and 255 or b[at + 4] + 1
  local what = action_words(action, b[at + 3], channel, b[at + 5])
  if action == "Invalid" then return what end
  local mode = CONTROL_MODES[b[at]] or ("mode " .. hex(b[at]))
  local delay = b[at + 6] == 0x7F and 255 or b[at + 6]
  delay = delay == 255 and "no delay" or ("delay " .. delay .. " s")
  return mode .. ", " .. what .. ", " .. delay
end

local function event_words(b, at)
  local channel = b[at + 3] == 0xFF and 255 or b[at + 3] + 1
  return action_words(action_text(b[at], b[at + 1], false), b[at + 2], channel, b[at + 4])
end

-- t[at..at+6]: seconds, minutes, hours, day, weekday, month, year.
local function clock_words(b, at)
  local text = "20" .. hex(b[at + 6]) .. "-" .. hex(b[at + 5]) .. "-" .. hex(b[at + 3]) .. " " ..
               hex(b[at + 2]) .. ":" .. hex(b[at + 1]) .. ":" .. hex(b[at])
  if WEEKDAYS[b[at + 4]] then text = text .. " " .. WEEKDAYS[b[at + 4]] end
  return text
end

local function timer_words(mode, b, at)
  if mode == 0xFF then return "invalid" end
  return (MODES[mode] or ("mode " .. hex(mode))) .. ", " .. clock_words(b, at)
end

local function slot_words(b, at)
  local room = ", room " .. (b[at + 1] + 1)
  local t, d = b[at], b[at + 2]
  if t == 1 then return "light" .. room .. ", device " .. (d + 1) end
  if t == 2 then return "curtain" .. room .. ", device " .. (d + 1) end
  if t == 3 then
    return "AC" .. room .. ", device " .. (rshift(d, 4) + 1) .. ", slot " .. (band(d, 3) + 1) ..
           " of 4"
  end
  return "type " .. t .. room .. ", device byte " .. hex(d)
end

local SETTINGS = {{"IP", 4, "."}, {"port", 1, "port"}, {"mask", 4, "."}, {"gateway", 4, "."},
                  {"server", 4, "."}, {"server port", 1, "port"}, {"MAC", 6, "-"}}
local function settings_words(b, at, count)
  local function byte(i) return i < count and b[at + i] or 0 end
  local parts = {"subnet " .. (byte(0) * 256 + byte(1))}
  local i = 2
  for _, row in ipairs(SETTINGS) do
    local texts = {}
    for _ = 1, row[2] do
      if row[3] == "port" then
        texts[#texts + 1] = tostring(byte(i) * 256 + byte(i + 1)); i = i + 2
      elseif row[3] == "-" then
        texts[#texts + 1] = hex(byte(i)); i = i + 1
      else
        texts[#texts + 1] = tostring(byte(i)); i = i + 1
      end
    end
    parts[#parts + 1] = row[1] .. " " .. table.concat(texts, row[3] == "port" and "" or row[3])
  end
  return table.concat(parts, ", ")
end

local function word(b, at) return b[at] * 256 + b[at + 1] end
local function channel(b, at) return "channel " .. (b[at] + 1) end

-- Requests: (b, first parameter, count) in words. Replies: (b, first data byte, count).
local R = {
  new_address = function(b, p) return "new address " .. b[p] end,
  settings = function(b, p, n) return settings_words(b, p, n) end,
  input_set = function(b, p) return "input " .. (b[p] + 1) .. ", " .. binding_words(b, p + 1) end,
  scene_set = function(b, p, n)
    return "scene " .. b[p] .. ", channel table " .. bytes_text(b, p + 1, n - 1)
  end,
  scene_first = function(b, p) return "scene " .. b[p] end,
  scene_second = function(b, p) return "scene " .. b[p + 1] end,
  new_password = function() return "new password hidden" end,
  transparent = function(b, p) return b[p] == 1 and "on" or ("value " .. b[p]) end,
  relay_delay = function(b, p) return "delay count " .. word(b, p + 1) end,
  monitor_set = function(b, p)
    local value = b[p] == 3 and ("IR " .. b[p + 4]) or ("channel " .. (b[p + 4] + 1))
    return slot_words(b, p) .. ", module " .. b[p + 3] .. ", " .. value
  end,
  input_read = function(b, p) return "input " .. (b[p] + 1) end,
  monitor_read = function(b, p) return slot_words(b, p) end,
  channel = function(b, p) return channel(b, p) end,
  travel = function(b, p) return channel(b, p) .. ", " .. word(b, p + 1) .. " ms" end,
  duration = function(b, p) return channel(b, p) .. ", " .. word(b, p + 1) .. " s" end,
  ir = function(b, p) return "IR " .. b[p + 1] end,
  clock_set = function(b, p) return clock_words(b, p) end,
  timer_set = function(b, p) return "timer " .. (b[p] + 1) .. ", " .. timer_words(b[p + 1], b, p + 2) end,
  timer_read = function(b, p) return "timer " .. (b[p] + 1) end,
  event_read = function(b, p) return "timer " .. (b[p] + 1) .. ", event " .. (b[p + 1] + 1) end,
  event_set = function(b, p)
    return "timer " .. (b[p] + 1) .. ", event " .. (b[p + 1] + 1) .. ", " .. event_words(b, p + 2)
  end,
}
local A = {
  settings = function(b, d, n) return settings_words(b, d, math.min(n, 28)) end,
  address = function(b, d) return "address " .. b[d] end,
  type = function(b, d) return "type " .. hex(b[d]) .. hex(b[d + 1]) end,
  version = function(b, d, n)
    local chars = {}
    for i = 0, n - 1 do
      local c = b[d + i]
      chars[#chars + 1] = (c >= 0x20 and c <= 0x7E) and string.char(c) or "."
    end
    return 'version "' .. table.concat(chars) .. '"'
  end,
  status = function(b, d, n)
    if b[d] ~= 1 or n < 2 then return "no channel states" end
    local on = {}
    for i = 1, n - 1 do
      if band(b[d + i], 1) == 1 then on[#on + 1] = tostring(i) end
    end
    local text = (n - 1) .. " channels, "
    if #on == 0 then return text .. "none on" end
    return text .. "on: " .. table.concat(on, ", ")
  end,
  input = function(b, d) return binding_words(b, d) end,
  monitor = function(b, d)
    return "module " .. b[d] .. ", channel " .. (b[d + 1] + 1) .. " or IR " .. b[d + 1]
  end,
  clock = function(b, d) return clock_words(b, d) end,
  timer = function(b, d) return timer_words(b[d], b, d + 1) end,
  event = function(b, d) return event_words(b, d) end,
}

-- command, sub-command, target ("any", "switch", "module"), parameter counts, family, name,
-- request words, reply words, reply data needed, fixed bytes ('.' any, 'F' 0xFF, '0' 0x00).
local OPS = {
  {0, 0x00, "switch", 28, 28, "Bus Switch", "Set Bus Switch Settings", R.settings},
  {0, 0x00, "module", 1, 1, "Module", "Set Module Address", R.new_address},
  {0, 0x01, "any", 8, 8, "Input Binding", "Set Input Binding", R.input_set},
  {0, 0x02, "any", 2, 9, "Scene", "Set Scene", R.scene_set},
  {0, 0x03, "any", 1, 1, "Scene", "Clear All Scenes", R.scene_first},
  {0, 0x04, "any", 2, 2, "Scene", "Test Scene", R.scene_second, nil, 0, "F."},
  {0, 0x05, "switch", 0, 0, "Bus Switch", "Read Bus Switch Settings", nil, A.settings, 28},
  {0, 0x05, "module", 0, 0, "Module", "Read Module Address", nil, A.address, 1},
  {0, 0x06, "switch", 0, 0, "Bus Switch", "Read Bus Switch Type", nil, A.type, 2},
  {0, 0x06, "module", 0, 0, "Module", "Read Module Type", nil, A.type, 2},
  {0, 0x07, "switch", 0, 0, "Bus Switch", "Read Bus Switch Version", nil, A.version, 0},
  {0, 0x07, "module", 0, 0, "Module", "Read Software Version", nil, A.version, 0},
  {0, 0x08, "any", 0, 0, "Light/Curtain", "Read Status", nil, A.status, 1},
  {0, 0x09, "module", 0, 0, "Module", "Test Module"},
  {0, 0x0A, "switch", 0, 0, "Bus Switch", "Restore Bus Switch"},
  {0, 0x0A, "module", 0, 0, "Module", "Restore Module"},
  {0, 0x0B, "switch", 16, 16, "Bus Switch", "Set Bus Switch Password", R.new_password},
  {0, 0x0C, "switch", 1, 1, "Bus Switch", "Set Transparent Mode", R.transparent},
  {0, 0x0D, "any", 3, 3, "Light", "Set Relay Delay", R.relay_delay, nil, 0, "0.."},
  {0, 0x0E, "switch", 5, 5, "Monitor Binding", "Set Monitor Binding", R.monitor_set},
  {0, 0x0F, "any", 1, 1, "Input Binding", "Read Input Binding", R.input_read, A.input, 7},
  {0, 0x10, "switch", 3, 3, "Monitor Binding", "Read Monitor Binding", R.monitor_read, A.monitor, 2},
  {1, 0x00, "any", 3, 3, "Curtain", "Set Travel Time", R.travel},
  {1, 0x01, "any", 2, 2, "Curtain", "Curtain Open", R.channel, nil, 0, ".F"},
  {1, 0x02, "any", 2, 2, "Curtain", "Curtain Close", R.channel, nil, 0, ".F"},
  {1, 0x03, "any", 2, 2, "Curtain", "Curtain Stop", R.channel, nil, 0, ".F"},
  {1, 0x04, "any", 2, 2, "Curtain", "All Curtains Open", nil, nil, 0, "FF"},
  {1, 0x05, "any", 2, 2, "Curtain", "All Curtains Close", nil, nil, 0, "FF"},
  {1, 0x06, "any", 2, 2, "Curtain", "All Curtains Stop", nil, nil, 0, "FF"},
  {2, 0x00, "any", 3, 3, "Light", "Set On-State Duration", R.duration},
  {2, 0x01, "any", 2, 2, "Light", "Light On", R.channel, nil, 0, ".F"},
  {2, 0x02, "any", 2, 2, "Light", "Light Off", R.channel, nil, 0, ".F"},
  {2, 0x03, "any", 2, 2, "Light", "Light Toggle", R.channel, nil, 0, ".F"},
  {2, 0x04, "any", 2, 2, "Light", "All Lights On", nil, nil, 0, "FF"},
  {2, 0x05, "any", 2, 2, "Light", "All Lights Off", nil, nil, 0, "FF"},
  {3, 0x00, "any", 2, 2, "IR", "Learn IR", R.ir, nil, 0, "0."},
  {3, 0x01, "any", 2, 2, "IR", "Exit IR Learning", R.ir, nil, 0, "0."},
  {3, 0x02, "any", 2, 2, "IR", "Delete IR Code", R.ir, nil, 0, "0."},
  {3, 0x03, "any", 2, 2, "IR", "Delete All IR Codes", nil, nil, 0, "0F"},
  {3, 0x04, "any", 2, 2, "IR", "Send IR", R.ir, nil, 0, "0."},
  {4, 0x00, "any", 7, 7, "Timer", "Set Module Clock", R.clock_set},
  {4, 0x01, "any", 0, 0, "Timer", "Read Module Clock", nil, A.clock, 7},
  {4, 0x02, "any", 9, 9, "Timer", "Set Timer", R.timer_set},
  {4, 0x03, "any", 1, 1, "Timer", "Read Timer", R.timer_read, A.timer, 8},
  {4, 0x04, "any", 7, 7, "Event", "Set Event", R.event_set},
  {4, 0x05, "any", 2, 2, "Event", "Read Event", R.event_read, A.event, 5},
}

local function op_fits(op, b, at, count)
  if count < op[4] or count > op[5] then return false end
  local shape = op[11] or ""
  for i = 1, math.min(#shape, count) do
    local c, v = shape:sub(i, i), b[at + i - 1]
    if (c == "F" and v ~= 0xFF) or (c == "0" and v ~= 0) then return false end
  end
  return true
end

local function find_request(command, sub, bus_switch, b, at, count, any_target, any_params)
  for _, op in ipairs(OPS) do
    if op[1] == command and op[2] == sub then
      local target_fits = any_target or op[3] == "any" or (op[3] == "switch") == bus_switch
      if target_fits and (any_params or op_fits(op, b, at, count)) then return op end
    end
  end
  return nil
end

local function find_reply(command, sub, bus_switch)
  return find_request(command, sub, bus_switch, nil, 0, 0, false, true) or
         find_request(command, sub, bus_switch, nil, 0, 0, true, true)
end

local function bus_switch_addressed(command, sub, long, subnet, module)
  if command ~= 0 or module ~= 0xFF then return false end
  if sub == 0 or sub == 5 then return long and subnet == 0xFFFF end
  return true
end

-- The binding test frames, built as the tool builds them: kind, then 01, room - 1,
-- device - 1 and the value; a status read is answered with the state added.
local AC = {{"Cold", {1, 3, 0xFF, 0xFF}}, {"Strong Cold", {1, 3, 4, 0xFF}},
            {"Wind", {1, 0, 3, 0xFF}}, {"Power Off", {0, 0xFF, 0xFF, 0xFF}}}
local BIND = {
  {"Binding Test Light On", {2}, {1}}, {"Binding Test Light Off", {2}, {0}},
  {"Binding Test Light Status", {0x82}, {}, nil, "On", "Off"},
  {"Binding Test Curtain Open", {3}, {1}}, {"Binding Test Curtain Close", {3}, {0}},
  {"Binding Test Curtain Stop", {3}, {2}},
  {"Binding Test Curtain Status", {0x83}, {}, nil, "Open", "Close"},
}
for _, m in ipairs(AC) do BIND[#BIND + 1] = {"Binding Test Air Conditioner", {4}, m[2], m[1]} end

local function decode_bind(d, b, length, direction)
  d.bind = true
  d.family = "Binding Test"
  local p, n = 3, length - 4
  if direction == "sent" then d.kind = "request" elseif direction == "received" then d.kind = "reply" end
  d.operation = "Binding Test Unknown"
  d.parameters = bytes_words(b, p, n)
  if n == 3 and b[p] == 1 and b[p + 1] == 1 then
    d.known, d.operation, d.parameters = true, "Binding Test Scene Control", "scene " .. b[p + 2]
  elseif n >= 4 and b[p + 1] == 1 then
    for _, t in ipairs(BIND) do
      if b[p] == t[2][1] then
        local same = true
        for i, v in ipairs(t[3]) do
          if n < 4 + i or b[p + 3 + i] ~= v then same = false end
        end
        local as_sent = same and n == 4 + #t[3]
        local with_state = t[5] ~= nil and n == 5
        if as_sent or with_state then
          d.known, d.operation = true, t[1]
          d.parameters = "room " .. (b[p + 2] + 1) .. ", device " .. (b[p + 3] + 1)
          if t[4] then d.parameters = d.parameters .. ", " .. t[4] end
          if with_state then
            local s = b[p + 4]
            d.parameters = d.parameters .. ", " ..
                           (s == 1 and t[5] or (s == 0 and t[6] or ("state " .. s)))
          end
          if t[5] and d.kind == nil then d.kind = with_state and "reply" or "request" end
          break
        end
      end
    end
  end
  -- A status answer from the bus, read as the window reads it: the kind of report first, the
  -- state in the fifth payload byte.
  if not d.known and direction ~= "sent" and n >= 5 then
    for _, t in ipairs(BIND) do
      if t[5] and b[p] == t[2][1] then
        local s = b[p + 4]
        d.known, d.kind, d.operation = true, "reply", t[1]
        d.parameters = s == 1 and t[5] or (s == 0 and t[6] or ("state " .. s .. ", which the tool ignores"))
        break
      end
    end
  end
  if d.kind == "reply" then d.status = "OK!" end
end

local function read_bus(b, length, at, long)
  local r = {fits = false, plausible = false, long = long, subnet = 0}
  local last = length - 2
  if long then
    if at + 2 > last then return r end
    r.subnet = b[at] * 256 + b[at + 1]
    at = at + 2
  end
  if at + 3 > last then return r end
  r.module, r.command, r.sub = b[at], b[at + 1], b[at + 2]
  r.params_at, r.count = at + 3, last - at - 3
  local command = band(r.command, 0x7F)
  r.bus_switch = bus_switch_addressed(command, r.sub, long, r.subnet, r.module)
  if r.command >= 0x80 then
    r.fits = r.count >= 1
    r.op = find_reply(command, r.sub, r.bus_switch)
  else
    r.fits = true
    r.op = find_request(command, r.sub, r.bus_switch, b, r.params_at, r.count) or
           find_request(command, r.sub, r.bus_switch, b, r.params_at, r.count, true)
  end
  r.plausible = r.fits and r.op ~= nil
  return r
end

local function unknown_name(command, sub) return "Unknown operation " .. hex(command) .. " " .. hex(sub) end

local function describe(d, r, b)
  local op = r.op
  if r.command < 0x80 then
    if not r.plausible then
      op = find_request(r.command, r.sub, r.bus_switch, b, r.params_at, r.count, true, true)
    end
    if not op then
      d.operation, d.parameters = unknown_name(r.command, r.sub), bytes_words(b, r.params_at, r.count)
      return
    end
    d.known, d.family, d.operation, d.bus_switch = true, op[6], op[7], op[3] == "switch"
    if not r.plausible then
      d.parameters = bytes_words(b, r.params_at, r.count)
    elseif op[8] then
      d.parameters = op[8](b, r.params_at, r.count)
    end
    return
  end
  local status = b[r.params_at]
  d.status = status_text(status)
  local data, count = r.params_at + 1, r.count - 1
  if not op then
    d.operation = unknown_name(r.command, r.sub)
    if status == 1 then d.parameters = bytes_words(b, data, count) end
    return
  end
  d.known, d.family, d.operation, d.bus_switch = true, op[6], op[7], op[3] == "switch"
  if status ~= 1 then return end
  if not op[9] or count < (op[10] or 0) then
    d.parameters = bytes_words(b, data, count)
  else
    d.parameters = op[9](b, data, count)
  end
end

local function password_block(b)
  local i = 3
  while i < 19 and b[i] ~= 0xFF do i = i + 1 end
  while i < 19 and b[i] == 0xFF do i = i + 1 end
  return i == 19
end

local function decode_bus(d, b, length, link)
  local chosen, password = nil, false
  if length >= 26 and link ~= "serial" and password_block(b) then
    local r = read_bus(b, length, 19, true)
    if r.plausible and r.command < 0x80 then chosen, password = r, true end
  end
  if not password then
    local long_first = link == "network"
    local first = read_bus(b, length, 3, long_first)
    local second = read_bus(b, length, 3, not long_first)
    local to_real_module = first.module == 0 and second.module ~= 0
    chosen = first
    if second.plausible and (not first.plausible or to_real_module) then
      chosen = second
    elseif not first.plausible and not first.fits and second.fits then
      chosen = second
    end
  end
  if not chosen.fits then d.problem = "too short"; return end
  d.password = password
  d.has_subnet, d.subnet, d.module = chosen.long, chosen.subnet, chosen.module
  d.kind = chosen.command >= 0x80 and "reply" or "request"
  describe(d, chosen, b)
end

local function checksum_ok(b, length, bus)
  local sum = 0
  for i = 0, length - (bus and 3 or 2) do sum = sum + b[i] end
  if bus then
    sum = band(sum, 0xFFFF)
    return b[length - 2] == bxor(rshift(sum, 8), 0x55) and b[length - 1] == bxor(band(sum, 0xFF), 0xAA)
  end
  return b[length - 1] == band(sum, 0xFF)
end

-- b[0..n-1]: the bytes; link "network", "serial" or nil; direction "sent", "received" or nil.
local function decode(b, n, link, direction)
  local d = {parameters = "", extra = 0}
  if n > 200 then d.problem = "too long"; return d end
  local b0, b1 = n > 0 and b[0] or 0, n > 1 and b[1] or 0
  local bus = n > 0 and (b0 == 0x55 or b1 == 0xAA)
  local bind = n > 0 and not bus and (b0 == 0xAE or b1 == 0xD0)
  if not bus and not bind then d.problem = "not a frame"; return d end
  local length = n >= 3 and b[2] or n + 1
  -- The tool reads a frame from the bus with a longer length byte as 78 bytes long.
  if direction ~= "sent" and length > 78 then
    if n < 78 or not checksum_ok(b, 78, bus) then
      d.problem = "dropped, length byte above 78 (checked as 78 bytes, bad checksum)"; return d
    end
    length = 78
  end
  if length > n then d.problem = "incomplete frame"; return d end
  if length < (bus and 5 or 4) then d.problem = "too short"; return d end
  if not checksum_ok(b, length, bus) then d.problem = "bad checksum"; return d end
  d.length, d.extra = length, n - length
  if bus then decode_bus(d, b, length, link) else decode_bind(d, b, length, direction) end
  return d
end

local function what(d)
  if d.problem then return d.problem end
  if d.parameters == "" then return d.operation end
  return d.operation .. ", " .. d.parameters
end

local function summary(d)
  if d.problem then return d.problem end
  local kind = d.kind or "frame"
  local text = kind
  if d.module then
    local who
    if d.bus_switch then who = "the bus switch"
    elseif d.module == 0xFF and kind == "request" then who = "all modules"
    else who = "module " .. d.module end
    text = kind .. (kind == "request" and " to " or " from ") .. who
    if d.has_subnet and not (d.bus_switch and d.subnet == 0xFFFF) then
      text = text .. " in subnet " .. d.subnet
    end
  end
  text = text .. ": " .. what(d)
  if kind == "reply" then text = text .. "; " .. d.status end
  if d.password then text = text .. "; password hidden" end
  if d.extra > 0 then text = text .. "; " .. d.extra .. " more bytes" end
  return text
end

local function dissect(tvb, pinfo, tree, link, direction)
  local n = tvb:len()
  local b = {}
  for i = 0, n - 1 do b[i] = tvb(i, 1):uint() end
  local d = decode(b, n, link, direction)
  local line = summary(d)
  pinfo.cols.protocol = "VELM"
  pinfo.cols.info:set(line)
  local t = tree:add(velm, tvb(), "VELM: " .. line)
  t:add(f_summary, tvb(), line)
  if d.problem then
    t:add(f_problem, tvb(), d.problem)
    return n
  end
  t:add(f_kind, tvb(0, 2), d.kind or "frame")
  if d.password then t:add(f_password, tvb(3, 16), "hidden") end
  if d.module then
    local at = d.password and 19 or 3
    if d.has_subnet then t:add(f_subnet, tvb(at, 2)); at = at + 2 end
    t:add(f_module, tvb(at, 1))
  end
  if d.family then t:add(f_family, d.family) end
  t:add(f_operation, d.operation)
  if d.parameters ~= "" then t:add(f_parameters, d.parameters) end
  if d.status then t:add(f_status, d.status) end
  return n
end

function velm.dissector(tvb, pinfo, tree)
  local direction
  if pinfo.dst_port == velm.prefs.gateway_port or pinfo.src_port == velm.prefs.tool_port then
    direction = "sent"
  elseif pinfo.src_port == velm.prefs.gateway_port or pinfo.dst_port == velm.prefs.tool_port then
    direction = "received"
  end
  return dissect(tvb, pinfo, tree, "network", direction)
end

-- The serial link: a direction byte before the frame.
local velm_serial = Proto("velm_serial", "VELM serial line")
local f_direction = ProtoField.uint8("velm_serial.direction", "Direction", base.DEC,
                                     {[0] = "from the tool", [1] = "from the bus"})
velm_serial.fields = {f_direction}
function velm_serial.dissector(tvb, pinfo, tree)
  if tvb:len() < 1 then return 0 end
  local t = tree:add(velm_serial, tvb(0, 1))
  t:add(f_direction, tvb(0, 1))
  local toward = tvb(0, 1):uint() == 0 and "sent" or "received"
  pinfo.cols.src = toward == "sent" and "tool" or "bus"
  pinfo.cols.dst = toward == "sent" and "bus" or "tool"
  if tvb:len() == 1 then return 1 end
  return 1 + dissect(tvb(1):tvb(), pinfo, tree, "serial", toward)
end

local udp_ports = DissectorTable.get("udp.port")
local registered = {}
local function register_ports()
  for _, port in ipairs(registered) do udp_ports:remove(port, velm) end
  registered = {velm.prefs.gateway_port, velm.prefs.tool_port}
  for _, port in ipairs(registered) do udp_ports:add(port, velm) end
end
velm.prefs_changed = register_ports
register_ports()
DissectorTable.get("wtap_encap"):add(wtap_encaps.USER0, velm_serial)
