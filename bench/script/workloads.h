#pragma once
// Five rule-script workloads, each written once in VBScript for our engine and once in Lua 5.4
// with the same algorithm: the speed benchmark compares the pairs, the resource test measures
// the memory the engine needs to run them.
namespace brevalcore::bench {

struct Workload {
  const char* name;
  const char* vbs;  // defines Function Run()
  const char* lua;  // defines function run()
};

inline constexpr Workload kWorkloads[] = {
    {"numeric_loop",
     "Function Run()\n Dim i, s : s = 0\n For i = 1 To 100000\n  s = s + (i * 3) Mod 7 - i \\ 1000\n Next\n Run = s\nEnd Function",
     "function run()\n local s = 0\n for i = 1, 100000 do\n  s = s + (i * 3) % 7 - i // 1000\n end\n return s\nend"},
    {"string_building",
     "Function Run()\n Dim parts, i, j, s, n : n = 0\n For j = 1 To 200\n"
     "  parts = Split(\"alpha,beta,gamma,delta,epsilon,zeta,eta,theta\", \",\")\n  s = \"\"\n"
     "  For i = 0 To UBound(parts)\n   If InStr(parts(i), \"e\") > 0 Then s = s & UCase(parts(i)) & \";\"\n  Next\n"
     "  n = n + Len(s)\n Next\n Run = n\nEnd Function",
     "function run()\n local n = 0\n for j = 1, 200 do\n  local parts = {}\n"
     "  for p in string.gmatch(\"alpha,beta,gamma,delta,epsilon,zeta,eta,theta\", \"([^,]+)\") do parts[#parts + 1] = p end\n"
     "  local s = \"\"\n  for i = 1, #parts do\n   if string.find(parts[i], \"e\", 1, true) then s = s .. string.upper(parts[i]) .. \";\" end\n  end\n"
     "  n = n + #s\n end\n return n\nend"},
    {"small_calls",
     "Function InList(code, list)\n InList = InStr(\"|\" & list & \"|\", \"|\" & code & \"|\") > 0\nEnd Function\n"
     "Function Classify(n)\n Select Case n Mod 4\n Case 0 : Classify = \"A01\"\n Case 1 : Classify = \"B02\"\n"
     " Case 2 : Classify = \"C03\"\n Case Else : Classify = \"D04\"\n End Select\nEnd Function\n"
     "Function Run()\n Dim i, hits : hits = 0\n For i = 1 To 5000\n"
     "  If InList(Classify(i), \"A01|C03|X99\") Then hits = hits + 1\n Next\n Run = hits\nEnd Function",
     "local function inlist(code, list)\n return string.find(\"|\" .. list .. \"|\", \"|\" .. code .. \"|\", 1, true) ~= nil\nend\n"
     "local function classify(n)\n local r = n % 4\n if r == 0 then return \"A01\" elseif r == 1 then return \"B02\"\n"
     " elseif r == 2 then return \"C03\" else return \"D04\" end\nend\n"
     "function run()\n local hits = 0\n for i = 1, 5000 do\n  if inlist(classify(i), \"A01|C03|X99\") then hits = hits + 1 end\n end\n return hits\nend"},
    {"dictionary",
     "Function Run()\n Dim d, i, n : Set d = CreateObject(\"Scripting.Dictionary\") : n = 0\n"
     " For i = 1 To 2000 : d.Add \"K\" & i, i : Next\n For i = 1 To 4000\n"
     "  If d.Exists(\"K\" & i) Then n = n + d.Item(\"K\" & i)\n Next\n Run = n\nEnd Function",
     "function run()\n local d, n = {}, 0\n for i = 1, 2000 do d[\"K\" .. i] = i end\n"
     " for i = 1, 4000 do\n  local v = d[\"K\" .. i]\n  if v ~= nil then n = n + v end\n end\n return n\nend"},
    {"class_properties",
     "Class Drug\n Private m_price\n Public Code\n Public Property Get Price() : Price = m_price : End Property\n"
     " Public Property Let Price(v) : m_price = v : End Property\nEnd Class\n"
     "Function Run()\n Dim d, i, t : Set d = New Drug : t = 0\n For i = 1 To 20000\n"
     "  d.Price = i : d.Code = \"A\" : t = t + d.Price\n Next\n Run = t\nEnd Function",
     "local Drug = {}\nDrug.__index = Drug\nfunction Drug.new() return setmetatable({m_price = 0, code = nil}, Drug) end\n"
     "function Drug:getPrice() return self.m_price end\nfunction Drug:setPrice(v) self.m_price = v end\n"
     "function run()\n local d, t = Drug.new(), 0\n for i = 1, 20000 do\n  d:setPrice(i); d.code = \"A\"; t = t + d:getPrice()\n end\n return t\nend"},
};

}  // namespace brevalcore::bench
