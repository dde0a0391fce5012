-- banner.lua - the sample package's banner.script in Lua, rule for rule, for the speed
-- comparison of the two languages. The rule objects' members are global functions, as in
-- VBScript; their properties are read and set on the objects (actions, conditions, commands).
-- VBScript's And and Or evaluate every operand, host calls included: the rules below evaluate
-- the same operands, into locals, before they combine them.

local B12_CODES = "029876015|029876027"
local STATIN_GENERIC_20 = "039876543"
local STATIN_GENERIC_40 = "039876556"
local PPI_CODES = "033210014|036540012"
local PROBIOTIC_CODE = "934561237"
local ANTICOAGULANT_CODES = "043210019|043210021"

local STATIN_BRAND_FROM = 12
local STATIN_BRAND_TO = 60
local HIGH_COST_FROM = 60
local HIGH_COST_TO = 5000

local FLU_CAMPAIGN = "15/10/2026-31/01/2027"
local ECM_REGISTRATION = "01/11/2026-20/12/2026"
local SLOTS = 3

local DRUG_BANNERS = "|STATINA_GENERICO|GASTROPROTEZIONE|PROBIOTICI|PIANO_TERAPEUTICO|"

-- ===================================================================================== rules

local function B12Due()
  if not DoctorRegionIs("080|090") then return false end
  if not PatientAgeIsBetween(65, 120) then return false end
  if ProblemIcd9Is("281.0") then return false end
  if GetBannerPatientKeyData("B12", "escluso") == "si" then return false end
  return true
end

local function ScreeningDue()
  if not IsImplementedFunction("IsFirstBannerVisualizationForPatient") then return false end
  local female, age, ssn = PatientGenderIs("F"), PatientAgeIsBetween(50, 69), PatientSSNIs(true)
  if not (female and age and ssn) then return false end
  local region, province = DoctorRegionIs("080"), DoctorProvinceIs("BO|FE|MO")
  if not (region and province) then return false end
  if GetBannerPatientKeyData("screening", "aderito") == "si" then return false end

  if IsFirstBannerVisualizationForPatient("screening") then return true end
  local first = GetFirstDateOfBannerVisualizationForPatient("screening")
  local last = GetLastDateOfBannerVisualizationForPatient("screening")
  return last == first
end

local function FluDue()
  if not MatchDateRange(FLU_CAMPAIGN) then return false end
  if GetLastDateOfBannerVisualization("antinfluenzale") < DateSerial(2026, 10, 15) then return true end
  if GetBannerPatientKeyData("antinfluenzale", "vaccinato") == "si" then return false end
  local elderly, diabetes = PatientAgeIsBetween(65, 120), ProblemIcd9Is("250*")
  local heart, lungs = ProblemIcd9Is("428*"), ProblemIcd9Is("496*")
  return elderly or diabetes or heart or lungs
end

local function EcmDue()
  if actions.context.Offline then return false end
  local branch, ssn, asl = DoctorSpecializationBranchIs("MG"), DoctorSSNIs(true), DoctorAslIs("105|106")
  if not (branch and ssn and asl) then return false end
  if not MatchDateRange(ECM_REGISTRATION) then return false end
  if BannerAlreadyShownToday("ecm") then return false end
  if IsImplementedFunction("BannerKeyData") then
    if GetBannerKeyData("ecm", "nascondi") == "si" then return false end
  end
  return true
end

local function NewsDue()
  return GetBannerKeyData("novita", "versione") ~= GetComponentVersion(true)
end

local function GastroprotectionMissing()
  local elderly, ppi, ppiSubstance =
      PatientAgeIsBetween(65, 120), ProductCodeIsAlreadyPrescribed(PPI_CODES), SubstanceIsPrescribed("A02BC*")
  return elderly and not ppi and not ppiSubstance
end

local function DiabetesLeafletsDue()
  local diabetes, leaflets = ProblemIcd9Is("250*"), GetBannerPatientKeyData("diabete", "opuscolo")
  return diabetes and leaflets ~= "consegnato"
end

local function RiskChartsDue()
  local male, age, hypertension = PatientSexIs("M"), PatientAgeIsBetween(40, 69), ProblemIcd9Is("401*")
  local statin, computed = SubstanceIsPrescribed("C10AA*"), GetBannerPatientKeyData("ipertensione", "rischio")
  return male and age and hypertension and not statin and computed == ""
end

-- =================================================================================== helpers

local function ShowPatientBanner(name)
  ShowBanner(name)
  DoSetFirstDateOfBannerVisualizationForPatient(name)
  DoSetLastDateOfBannerVisualizationForPatient(name)
  DoSetBannerPatientKeyData(name, "proposto", "si")
end

local function InList(code, list)
  local name = string.upper(code)
  local mark = string.find(name, "?", 1, true)
  if mark then name = string.sub(name, 1, mark - 1) end
  local found = string.find(list, "|" .. name .. "|", 1, true)
  return name ~= "" and found ~= nil
end

-- ============================================================================== entry points

function BeforeInitialize()
  if actions.DefaultEmptyPage == "" then actions.DefaultEmptyPage = "https://servizi.example/home" end
  if actions.UpdateDbUrl == "" then actions.UpdateDbUrl = "https://servizi.example/bvc/bvcres" end
  if actions.UpdateOcxUrl == "" then actions.UpdateOcxUrl = "https://servizi.example/bvc/ocx" end
  if actions.TraceUrl == "" then actions.TraceUrl = "https://servizi.example/bvc/trace" end
  if IsImplementedFunction("LoadingPrescriptionItems") then
    DoSetBannerKeyData("novita", "caricamento", "si")
  else
    DoSetBannerKeyData("novita", "caricamento", "no")
  end
end

function StartPrescription()
  local slot1, b12 = MatchPrescriptionsCount(SLOTS, 1), B12Due()
  if slot1 and b12 then
    ShowBanner("B12")
    return
  end
  if ScreeningDue() then
    ShowPatientBanner("screening")
    return
  end
  if FluDue() then
    ShowPatientBanner("antinfluenzale")
    return
  end
  local slot2, ecm = MatchPrescriptionsCount(SLOTS, 2), EcmDue()
  if slot2 and ecm then
    ShowBanner("ecm?asl=" .. URLEncode(GetFacts().Doctor.Asl))
  elseif NewsDue() then
    ShowBanner("novita?versione=" .. URLEncode(GetComponentVersion(true)))
    DoSetBannerKeyData("novita", "versione", GetComponentVersion(true))
  else
    ResetBanner()
  end
end

function BeforeSelect()
  if conditions.context.CurrentFacts.Prescription.PrescribingDrug.AIC == "" then return end

  if PrescribingProductCodeIs(B12_CODES) then
    if GetCurrentBanner() == "B12" then ResetBanner() end
    return
  end
  local statin, not20, not40, band =
      PrescribingProductSubstanceIs("C10AA*"), PrescribingProductCodeIsNot(STATIN_GENERIC_20),
      PrescribingProductCodeIsNot(STATIN_GENERIC_40), PrescribingProductPriceIsBetween(STATIN_BRAND_FROM, STATIN_BRAND_TO)
  if statin and not20 and not40 and band then
    ShowBanner("statina_generico")
    return
  end
  local nsaid, unprotected = PrescribingProductSubstanceIs("M01A*"), GastroprotectionMissing()
  if nsaid and unprotected then
    ShowBanner("gastroprotezione")
  elseif PrescribingProductSubstanceIs("J01*") then
    ShowBanner("probiotici")
  elseif PrescribingProductPriceIsBetween(HIGH_COST_FROM, HIGH_COST_TO) then
    ShowBanner("piano_terapeutico")
  end
end

function AfterSelect()
  local statin, not20, not40, band =
      PrescribedProductSubstanceIs("C10AA*"), PrescribedProductCodeIsNot(STATIN_GENERIC_20),
      PrescribedProductCodeIsNot(STATIN_GENERIC_40), PrescribedProductPriceIsBetween(STATIN_BRAND_FROM, STATIN_BRAND_TO)
  if statin and not20 and not40 and band then
    ShowBanner("statina_generico")
    return
  end
  local anticoagulant, highCost =
      PrescribedProductCodeIs(ANTICOAGULANT_CODES), PrescribedProductPriceIsBetween(HIGH_COST_FROM, HIGH_COST_TO)
  if anticoagulant or highCost then
    ShowBanner("piano_terapeutico")
    return
  end
  local nsaid, unprotected = SubstanceIsPrescribed("M01A*"), GastroprotectionMissing()
  if nsaid and unprotected then
    ShowBanner("gastroprotezione")
    return
  end
  local antibiotic, probiotic = SubstanceIsPrescribed("J01*"), ProductCodeIsAlreadyPrescribed(PROBIOTIC_CODE)
  if antibiotic and not probiotic then
    ShowBanner("probiotici")
    return
  end
  local cold, pharyngitis, treated = ProblemIcd9Is("460*"), ProblemIcd9Is("465*"), SubstanceIsPrescribed("J01*")
  if (cold or pharyngitis) and not treated then
    ShowBanner("raffreddore")
  elseif DiabetesLeafletsDue() then
    ShowBanner("diabete")
  elseif RiskChartsDue() then
    ShowBanner("ipertensione")
  elseif InList(commands.context.Banner, DRUG_BANNERS) then
    ResetBanner()
  end
end
