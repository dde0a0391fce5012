' Regular expressions: RegExp by New and by name, Test, Replace, Execute, Matches, SubMatches
Dim re, ms, m
Set re = New RegExp
Check "TypeName", TypeName(re), "IRegExp2"
Check "created by name", TypeName(CreateObject("VBScript.RegExp")), "IRegExp2"
Check "defaults", Array(re.Pattern, re.Global, re.IgnoreCase, re.MultiLine), Array("", False, False, False)
re.Pattern = "a(b+)"
Check "Test", re.Test("xabbby"), True
Check "Test fails", re.Test("xaaa"), False
Check "Replace first only", re.Replace("ab ab", "-"), "- ab"
re.Global = True
Check "Replace all", re.Replace("ab ab", "-"), "- -"
Check "Replace with a group", re.Replace("abb", "[$1]"), "[bb]"
Check "Replace with the match", re.Replace("abb", "<$&>"), "<abb>"
Set ms = re.Execute("ab xabbb")
Check "Matches count", ms.Count, CLng(2)
Check "Match value", ms(1).Value, "abbb"
Check "Match index", ms(1).FirstIndex, CLng(4)
Check "Match length", ms(1).Length, CLng(4)
Check "default member of a match", "" & ms(0), "ab"
Check "SubMatches", ms(1).SubMatches(0), "bbb"
Check "SubMatches count", ms(1).SubMatches.Count, CLng(1)
Check "SubMatches by Item", ms(0).SubMatches.Item(0), "b"
Check "chain from Execute", re.Execute("abb")(0).SubMatches(0), "bb"
Dim total : total = ""
For Each m In ms : total = total & m.Value & ";" : Next
Check "For Each over matches", total, "ab;abbb;"
re.Pattern = "^x" : re.MultiLine = True
Check "MultiLine", re.Execute("a" & vbLf & "x").Count, CLng(1)
re.Pattern = "HELLO" : re.IgnoreCase = True
Check "IgnoreCase", re.Test("say hello"), True
re.Pattern = "(\d+)-(\d+)" : re.IgnoreCase = False
Check "two groups", re.Replace("10-20", "$2-$1"), "20-10"
Check "unmatched group is empty", re.Execute("1-2")(0).SubMatches.Count, CLng(2)
re.Pattern = "\s+"
Check "class escapes", re.Replace("a  b" & vbTab & "c", " "), "a b c"
re.Pattern = "[" : CheckError "bad pattern", "x = re.Test(""a"")", 5017
Set re = Nothing
CheckError "SubMatches past the end", "Set r2 = New RegExp : r2.Pattern = ""(a)"" : x = r2.Execute(""a"")(0).SubMatches(3)", 5
Summary "regexp"
