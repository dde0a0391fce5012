' Edge cases of the banner links, for a banner B1 on show.
InitializeContext True, "APP", "D1", "080", "101", "MG", True, "", "Software=ABC"
StartPrescription

Echo "right button"
RightClick
Echo "image inside a command anchor"
ClickElement "inner"
Echo "image with its own href"
ClickElement "own"
Echo "image href without #"
ClickElement "nohash"
Echo "input with a command"
ClickElement "button"
Echo "flag " & IniRead("B1", "flag")
Echo "anchor without fragment"
Click "https://www.example.org/"
Echo "lower-case word, options past the third part dropped"
Click "#prescribe?aic1?x?y"
Echo "missing file"
Click "#SHELL?missing.pdf"
Click "#SHELL?../B1.html"
Echo "missing template, still counted"
Click "#DOCUMENT?missing.rtf"
Echo "DOCUMENT counted " & IniRead("B1", "DOCUMENT")
Echo "empty param"
Click "#PRESCRIBE?"
Echo "document list without &"
Click "#SHELLLIST?a.pdf|A"
Echo "cancelled selection list"
AnswerNext "Annulla"
Click "#SUBSTITUTE?aic1&aic2"
Echo "not replaceable, answered No"
AnswerNext "No"
Click "#SUBSTITUTE?aic9?NOTREPLACEABLE=2"

Echo "automatic substitutions"
DescribeDrug "aic5", "Farmaco Cinque"
DescribeDrug "aic9", "Farmaco Nove"
PrescribingDrug "aic5", "N02", True, "paracetamolo", 1
Click "#SUBSTITUTEEVER?aic9"
AnswerNext "Elimina tutti;Annulla"
ShowAutoSubstituteList
Echo "kept " & IniRead("AutoSubstitute", "aic5")
AnswerNext "Elimina tutti;OK"
ShowAutoSubstituteList
Echo "after OK [" & IniRead("AutoSubstitute", "aic5") & "]"
ShowAutoSubstituteList
