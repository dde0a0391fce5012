' Every link of every page of the sample package, and every item of the control's menu:
' the rules bring up each page in turn, and each of the fourteen link words shows its
' effects (events, traces, files opened, counters and key data in the profile file).
Reachable "https://servizi.example/home"
InitializeContext True, "MEDICO", "D7", "080", "105", "MG", True, "", "Serial_Number=1&Software=QKV&Versione=3.2"
Doctor.Name = "Dott.ssa Anna Verdi"
Doctor.Stamp = "Dott.ssa Anna Verdi - Bologna"
Doctor.Province = "BO"
Patient.Id = "P1"
Patient.Name = "Elena Ferri"
SetPatient "F", "10/10/1956", True, ""

Echo "B12: first prescription, a patient of 70"
StartPrescription
ClickElement "scheda"
DescribeDrug "029876015", "Cobalvit compresse"
DescribeDrug "029876027", "Cobalvit fiale"
AnswerNext "029876015&029876027"
AnswerNext "Yes"
Click "#PRESCRIBE?029876015&029876027?NOTREPLACEABLE=2"
Click "#SAVEPATIENTKEYDATA?escluso=si"
Echo "B12 counted SHELL " & IniRead("B12", "SHELL") & ", PRESCRIBE " & IniRead("B12", "PRESCRIBE") & "; escluso " & IniRead("B12", "escluso_P1")

Echo "statina_generico: a brand-name atorvastatin"
PrescribingDrug "035120018", "A", True, "C10AA05", 17.2
DescribeDrug "039876543", "Atorvastatina 20 mg"
DescribeDrug "039876556", "Atorvastatina 40 mg"
AnswerNext "039876556"
Click "#SUBSTITUTE?039876543&039876556?NOTREPLACEABLE=0"
Click "#SUBSTITUTEEVER?039876543"
Click "#SHELL?equivalenza.txt"
Echo "stored " & IniRead("AutoSubstitute", "035120018")

Echo "gastroprotezione: an anti-inflammatory after 65"
PrescribingDrug "026543018", "C", False, "M01AE01", 8.2
ClickElement "omeprazolo"
DescribeDrug "033210014", "Omeprazolo 20 mg"
DescribeDrug "036540012", "Pantoprazolo 20 mg"
AnswerNext "036540012"
AnswerNext "No"
Click "#PRESCRIBE?033210014&036540012?NOTREPLACEABLE=2"

Echo "probiotici: an antibiotic"
PrescribingDrug "031245017", "A", True, "J01CR02", 8.7
Click "#PRESCRIBEPARAPHARMA?934561237"
ClickElement "consiglia"

Echo "piano_terapeutico: a high-cost drug"
PrescribingDrug "043210019", "A", True, "B01AF02", 78.5
AnswerNext "Nota 97: anticoagulanti orali"
Click "#SHELLLIST?nota97.txt|Nota 97: anticoagulanti orali&piano_nao.txt|Scheda di prescrizione NAO"
Click "#VOLUNTAS?PIANO_TERAPEUTICO"

Echo "the remembered substitution, when Statinor becomes the current line"
AddDrugToPrescription "035120018", "A", True, "C10AA05", 17.2
CurrentPrescriptionDrug = "035120018"
Echo "cleared prescription: the drug banner goes"
ClearPrescription

Echo "raffreddore: a cold without antibiotics"
AddProblemToPrescription "460"
Click "#PRESCRIBEPHARMA?012745093"
Click "#PRESCRIBEHOMEOPATHIC?800412345"
Click "#PRESCRIBEPARAPHARMA?934561249"

Echo "diabete: the problems become diabetes"
SetProblemsOfPrescription "250.00"
AnswerNext "Diario della glicemia"
ClickElement "opuscoli"
AnswerNext "Chiudi"
Click "#SHELLLIST?dieta_diabete.txt|Consigli alimentari&piede_diabetico.txt|La cura del piede&autocontrollo.txt|Diario della glicemia"
Click "#SAVEPATIENTKEYDATA?opuscolo=consegnato"
Echo "diabete counted SHELL " & IniRead("diabete", "SHELL") & "; opuscolo " & IniRead("diabete", "opuscolo_P1")

Echo "ipertensione: a man of 56 with hypertension and no statin"
Patient.Id = "P2"
Patient.Name = "Marco Bassi"
SetPatient "M", "01/01/1970", True, "401.9"
SetProblemsOfPrescription ""
Click "#SHELL?carte_rischio.txt"
Click "#LINK?https://www.cuore.example/calcolatore"
Click "#SAVEPATIENTKEYDATA?rischio=calcolato"
Click "https://www.cuore.example/linee-guida"

Echo "antinfluenzale: second prescription, the campaign's opening"
StartPrescription
ClickElement "circolare"
Field "AMBULATORIO", "Via Indipendenza 3, Bologna"
Field "ORARI", "lunedì-venerdì 9-12"
Field "TELEFONO", "051 000000"
Click "#DOCUMENT?lettera.rtf"
Click "#VOLUNTAS?VACCINO_ANTINFLUENZALE"
ClickElement "vaccinato"
Click "#SAVELINK?https://www.salute.example/influenza|Campagna antinfluenzale"
Echo "antinfluenzale counted DOCUMENT " & IniRead("antinfluenzale", "DOCUMENT") & ", VOLUNTAS " & IniRead("antinfluenzale", "VOLUNTAS") & ", SAVELINK " & IniRead("antinfluenzale", "SAVELINK") & "; vaccinato " & IniRead("antinfluenzale", "vaccinato_P2")

Echo "screening: third prescription, a woman of 60"
Patient.Id = "P3"
Patient.Name = "Laura Neri"
SetPatient "F", "15/05/1966", True, ""
StartPrescription
Click "#VOLUNTAS?SCREENING_MAMMOGRAFICO"
Click "#LINK?https://www.regione.example/screening"
ClickElement "aderito"
Click "https://www.regione.example/screening/centri"
Echo "screening first day " & IniRead("screening", "FIRSTDATE_P3") & ", aderito " & IniRead("screening", "aderito_P3")

Echo "novita: fourth prescription, nothing else applies"
StartPrescription
Click "#SHELL?novita.txt"
Click "#LINK?https://servizi.example/bvc/guida"
Click "#SAVEKEYDATA?letto=si"
Echo "novita versione " & IniRead("novita", "versione") & ", letto " & IniRead("novita", "letto")

Echo "ecm: fifth prescription, slot 2"
StartPrescription
Click "#LINK?https://formazione.example/ecm/diabete-territorio"
ClickElement "salva"
ClickElement "nascondi"
Click "https://formazione.example/"
Echo "ecm counted LINK " & IniRead("ecm", "LINK") & ", SAVELINK " & IniRead("ecm", "SAVELINK") & "; nascondi " & IniRead("ecm", "nascondi")

Echo "the menu: Annulla"
AnswerNext "Annulla"
RightClick
Echo "the menu: the remembered substitutions, one removed"
DescribeDrug "035120018", "Statinor 20 mg"
AnswerNext "Gestione sostituzioni farmaci"
AnswerNext "Elimina Statinor 20 mg;OK"
RightClick
Echo "after removal [" & IniRead("AutoSubstitute", "035120018") & "]"
Echo "the menu: Offline, then a new prescription shows the offline page"
AnswerNext "Offline"
RightClick
Echo "offline " & IniRead("BVC", "Offline")
StartPrescription
Echo "the menu: Offline cleared"
AnswerNext "Offline"
RightClick
Echo "offline " & IniRead("BVC", "Offline")
StartPrescription
