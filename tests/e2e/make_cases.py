#!/usr/bin/env python3
"""Writes end-to-end case folders under tests/cases/ from the table below.

Each case is a base case with some lines changed (or a whole file of its own),
optional files already in the working directory, and the outcome it is meant
to have: success, a rejection with a given message, an input failure, an
arithmetic failure or a resource failure. The script runs the built hxrate
on it, checks that the run ends the intended way (the message, the exit
status, which files exist), and records the exact bytes as the expected
output. A run that does not end as intended is reported and not recorded.

    tests/e2e/make_cases.py BUILD/hxrate [NAME_FILTER]

The numbers in a recorded report are hxrate's own: they pin the present
behaviour, and the unit tests check the formulas behind them.
"""
import os
import shutil
import subprocess
import sys
import tempfile

CASE, RES, LOG = "48230007640350000606.txt", "48230007650350000606.txt", "Log file.txt"
TOP = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

REMARKS = {
    1: "exchanger type", 2: "tube inner diameter (m)", 3: "inner roughness (m)", 4: "tube length (m)",
    5: "element length (m)", 6: "shell inner diameter (m)", 7: "bundle arrangement", 8: "number of tubes",
    9: "longitudinal pitch (m)", 10: "transverse pitch (m)", 11: "number of baffles",
    12: "Wall material, conductivity, thickness", 14: "Fluids: name, density, viscosity, conductivity, cp, flow",
    15: "tube side", 16: "shell side", 17: "Inlet temperatures", 18: "tube inlet", 19: "shell inlet",
    20: "Correction factor", 21: "",
}

# Water in the tubes, engine oil on the shell side, along a staggered bundle.
AXIAL = {1: "1", 2: "0.016", 3: "1.5e-6", 4: "3.0", 5: "0.1", 6: "0.30", 7: "1", 8: "40", 9: "0.025",
         10: "0.025", 11: "0", 12: "", 13: "Copper 380.0 0.001", 14: "",
         15: "Water 998.0 0.001 0.6 4180.0 0.002", 16: "EngineOil 870.0 0.08 0.14 2000.0 0.003", 17: "",
         18: "20.0", 19: "90.0", 20: "", 21: "0.5"}
# Hot water in six tubes, nitrogen crossing them between six baffles.
CROSS = {1: "2", 2: "0.0344", 3: "1.5e-06", 4: "7.19", 5: "0.171", 6: "0.236", 7: "0", 8: "6", 9: "0.0726",
         10: "0.0357", 11: "6", 12: "", 13: "CuNi 29.0 0.0014", 14: "",
         15: "HotWater 1007.0 0.0003612 0.6596 3994.0 5.981e-06",
         16: "Nitrogen 1.158 1.811e-05 0.02631 1023.0 0.000917", 17: "", 18: "212.4", 19: "-11.2", 20: "",
         21: "0.179"}


def text(base, changes=None, eol="\n"):
    lines = dict(base)
    lines.update(changes or {})
    out = []
    for n in range(1, 22):
        items = lines[n]
        remark = REMARKS.get(n, "")
        out.append(f"{n} {items}    {remark}".rstrip() if items else f"{n}    {remark}".rstrip())
    return (eol.join(out) + eol).encode()


M = {
    "baffles": "Reduce No. of baffles or tube element length",
    "fit": "Tubing does not fit into shell",
    "inner": "Error in inner flow parameters",
    "range": "Inner flow is out of Nusselt Number valid range",
    "arr": "Select correct tube bundle arrangement",
    "stagnant": "Stagnant outer flow. No forced convection",
    "peclet": "Peclet Number < 0.2, Out of this product scope",
    "reduce": "Reduce correction factor",
    "diverge": "Divergence in shell temperature profile",
    "type": "Please insert correct exchanger selection",
    "nb-1": "Baffle count of -1 is not allowed",
    "nel<0": "Tube element length gives no elements",
    "nb<0": "Negative No. of baffles in cross flow",
}

EARLIER_RES = b" A report left by an earlier run\r\n"
EARLIER_LOG = b" A line left by an earlier run\r\n Calculation Terminated !!!\r\n"

# name, about, case bytes (None: no case file), intended outcome, setup files
CASES = [
    # --- rejections, in the order a run meets them -------------------------
    ("terminations-t01_half_equal", "type 3: Nel/2 = 21 equals Nb = 21", text(CROSS, {1: "3", 11: "21"}), M["baffles"], {}),
    ("terminations-t01_before_fit", "type 2: too many baffles and a bundle that does not fit: baffles first", text(CROSS, {11: "30", 6: "0.01"}), M["baffles"], {}),
    ("terminations-t01_no_elements", "type 2: dL > L gives Nel = 0, rejected with Nb = 0", text(CROSS, {5: "10.0", 11: "0"}), M["baffles"], {}),
    ("terminations-t01_garbage_after", "type 3: rejected after line 11, the rest of the file is not a case", text(CROSS, {1: "3", 11: "40"})[:0] + b"1 3\n2 0.0344\n3 0\n4 7.19\n5 0.171\n6 0.236\n7 0\n8 6\n9 0.07\n10 0.03\n11 40\n\x00\x01garbage\n", M["baffles"], {RES: EARLIER_RES}),
    ("success-t01_axial_baffles_equal_elements", "type 0: as many baffles as elements passes the baffle check", text(AXIAL, {1: "0", 11: "29"}), "success", {}),
    ("terminations-t02_exact_equality", "Ds^2 equal to cell^2*Nt (Do 20, SL 20, ST 30, Nt 4, Ds 60) does not fit", text(AXIAL, {2: "18", 6: "60", 8: "4", 9: "20", 10: "30", 13: "Steel 50 1"}), M["fit"], {}),
    ("terminations-t02_cross", "type 3: shell far too small", text(CROSS, {1: "3", 6: "0.05"}), M["fit"], {RES: EARLIER_RES}),
    ("terminations-t03_zero_flow", "type 0: no tube-side flow", text(AXIAL, {1: "0", 15: "Water 998.0 0.001 0.6 4180.0 0.0"}), M["inner"], {}),
    ("terminations-t03_negative_density", "type 2: negative tube-side density", text(CROSS, {15: "HotWater -1007.0 0.0003612 0.6596 3994.0 5.981e-06"}), M["inner"], {}),
    ("terminations-t03_before_shell_line", "type 1: tube side rejected before a broken shell line is read", text(AXIAL, {15: "Water 998.0 0.001 0.6 4180.0 -1", 16: "Oil x y z"}), M["inner"], {}),
    ("terminations-t05_tube_range", "type 1: tube Re about 6e6 above the Nusselt range", text(AXIAL, {15: "Water 998.0 0.001 0.6 4180.0 3.0"}), M["range"], {}),
    ("terminations-t06_cross_arrangement", "type 2: a bank (ST > Do) with arrangement 2", text(CROSS, {7: "2", 10: "0.05"}), M["arr"], {}),
    ("success-t06_two_tubes_any_arrangement", "type 2: two tubes are no bank, arrangement 5 is never examined", text(CROSS, {7: "5", 8: "2", 10: "0.05"}), "success", {}),
    ("terminations-t07_axial_no_flow", "type 0: no shell-side flow", text(AXIAL, {1: "0", 16: "EngineOil 870.0 0.08 0.14 2000.0 0.0"}), M["stagnant"], {}),
    ("terminations-t07_cross_no_density", "type 3: zero shell-side density", text(CROSS, {1: "3", 16: "Nitrogen 0 1.811e-05 0.02631 1023.0 0.000917"}), M["stagnant"], {}),
    ("terminations-t08_peclet_type3", "type 3: Peclet number about 0.01", text(CROSS, {1: "3", 16: "Nitrogen 1.158 1.811e-05 0.02631 1023.0 0.0000001"}), M["peclet"], {}),
    ("terminations-t08_zero_heat_capacity", "type 2: shell cp = 0 gives Pr = 0 and a Peclet rejection, not a division", text(CROSS, {16: "Nitrogen 1.158 1.811e-05 0.02631 0 0.000917"}), M["peclet"], {}),
    ("success-t08_axial_low_peclet", "type 0: Peclet below 0.2 is accepted along the tubes", text(AXIAL, {1: "0", 16: "EngineOil 870.0 0.08 0.14 2000.0 0.0000001"}), "success", {}),
    ("terminations-t09_axial_arrangement", "type 0: a bank with arrangement 2 is rejected by the shell heat transfer", text(AXIAL, {1: "0", 7: "2"}), M["arr"], {}),
    ("success-t09_axial_arrangement_no_pitch", "type 0: arrangement 2 with SL = 0 is no bank and passes", text(AXIAL, {1: "0", 7: "2", 9: "0"}), "success", {}),
    ("terminations-t12_negative_corr", "type 1: a negative correction factor makes the mismatch grow", text(AXIAL, {21: "-0.5"}), M["reduce"], {}),
    ("terminations-t12_large_corr", "type 1: correction factor 5 overshoots more every pass", text(AXIAL, {21: "5"}), M["reduce"], {RES: EARLIER_RES}),
    ("terminations-t13_corr_zero", "type 1: correction factor 0 repeats the same error for 10000 passes", text(AXIAL, {21: "0"}), M["diverge"], {}),
    ("terminations-t14_negative_corr", "type 3: negative correction factor", text(CROSS, {1: "3", 21: "-1"}), M["reduce"], {}),
    ("terminations-t15_corr_zero", "type 3: correction factor 0", text(CROSS, {1: "3", 21: "0"}), M["diverge"], {}),
    ("terminations-t16_type_4", "type 4 runs the axial model and is rejected by the solver", text(AXIAL, {1: "4"}), M["type"], {RES: EARLIER_RES}),
    ("terminations-t16_type_minus_1", "type -1 with too many baffles for cross flow: not a cross-flow type", text(AXIAL, {1: "-1", 11: "100"}), M["type"], {}),
    ("terminations-t16_low_peclet", "type 7 with a Peclet number below 0.2 is not rejected by the Peclet check", text(AXIAL, {1: "7", 16: "EngineOil 870.0 0.08 0.14 2000.0 0.0000001"}), M["type"], {}),
    ("terminations-own_baffles_minus_1", "type 0 with baffle count -1 would divide by zero", text(AXIAL, {1: "0", 11: "-1"}), M["nb-1"], {}),
    ("terminations-own_negative_elements", "type 1: a negative tube length gives a negative element count", text(AXIAL, {4: "-3.0", 6: "0.3"}), M["nel<0"], {}),
    ("terminations-own_negative_baffles", "type 2 with Nb = -3 and a negative flow that passes the shell checks", text(CROSS, {11: "-3", 16: "Nitrogen 1.158 1.811e-05 0.02631 1023.0 -0.000917"}), M["nb<0"], {}),
    ("terminations-own_bad_type_before_baffles", "type 9 with Nb = -3: the invalid type is reported first", text(AXIAL, {1: "9", 11: "-3"}), M["type"], {}),
    # --- input failures ----------------------------------------------------
    ("inputfail-end_before_21", "the file ends after case line 20", text(AXIAL)[: text(AXIAL).rindex(b"21 ")], "input", {LOG: EARLIER_LOG}),
    ("inputfail-end_inside_fluid", "line 15 holds three of its six values, then the file ends", b"".join(text(AXIAL).split(b"\n")[i] + b"\n" for i in range(14)) + b"15 Water 998.0 0.001\n", "input", {}),
    ("inputfail-empty_file", "an empty case file", b"", "input", {LOG: EARLIER_LOG, RES: EARLIER_RES}),
    ("inputfail-int_with_point", "type written as 1.0", text(AXIAL, {1: "1.0"}), "input", {}),
    ("inputfail-int_exponent", "tube count written as 4e1", text(AXIAL, {8: "4e1"}), "input", {}),
    ("inputfail-int_word", "arrangement written as a word", text(AXIAL, {7: "staggered"}), "input", {}),
    ("inputfail-int_too_large", "tube count 2147483648", text(AXIAL, {8: "2147483648"}), "input", {}),
    ("inputfail-int_too_small", "baffle count -2147483649", text(AXIAL, {11: "-2147483649"}), "input", {}),
    ("inputfail-int_bad_base", "tube count 37#1: base above 36", text(AXIAL, {8: "37#1"}), "input", {}),
    ("inputfail-real_exponent_without_digits", "tube length 3.0E", text(AXIAL, {4: "3.0E"}), "input", {}),
    ("inputfail-real_sign_without_digits", "tube length 3+", text(AXIAL, {4: "3+"}), "input", {}),
    ("inputfail-real_two_signs", "element length --0.1", text(AXIAL, {5: "--0.1"}), "input", {}),
    ("inputfail-real_hex", "shell diameter 0x1", text(AXIAL, {6: "0x1"}), "input", {}),
    ("inputfail-real_overflow", "shell inlet 1e400", text(AXIAL, {19: "1e400"}), "input", {}),
    ("inputfail-real_underflow", "roughness 1e-400 rounds to zero", text(AXIAL, {3: "1e-400"}), "input", {}),
    ("inputfail-delimited_real", "tube length in quotes", text(AXIAL, {4: '"3.0"'}), "input", {}),
    ("inputfail-repeat_zero", "repeat count 0", text(AXIAL, {2: "0*0.016"}), "input", {}),
    ("inputfail-repeat_twice", "a second repeat count inside a repeated value", text(AXIAL, {2: "2*3*0.016"}), "input", {}),
    ("inputfail-repeat_in_name", "undelimited fluid name R*134a", text(AXIAL, {16: "R*134a 870.0 0.08 0.14 2000.0 0.003"}), "input", {}),
    ("inputfail-unterminated_name", "wall material opens a quote that never closes", text(AXIAL, {13: "'Copper 380.0 0.001"}), "input", {}),
    ("inputfail-heading_without_label", "line 12 holds only a heading", text(AXIAL).replace(b"12    Wall", b"Wall"), "input", {}),
    ("inputfail-shifted_lines", "line 3 lacks its value: every later read starts one line down and the file ends early", text(AXIAL).replace(b"3 1.5e-6    inner roughness (m)", b"3"), "input", {}),
    ("inputfail-case_is_directory", "the case file is a directory", None, "input", {CASE + "/": b""}),
    # --- arithmetic failures -----------------------------------------------
    ("arith-wall_negative_ratio", "Do/Di < 0: logarithm outside its domain", text(AXIAL, {13: "Copper 380.0 -0.02"}), "arith", {LOG: EARLIER_LOG}),
    ("arith-grid_beyond_32_bits", "L/dL = 3e12 does not fit a 32-bit element count", text(AXIAL, {5: "1e-12"}), "arith", {}),
    ("arith-tube_conductivity_zero", "type 0: tube conductivity 0 divides the Prandtl number by zero", text(AXIAL, {1: "0", 15: "Water 998.0 0.001 0 4180.0 0.002"}), "arith", {}),
    ("arith-tube_negative_prandtl_turbulent", "type 1: negative tube conductivity, turbulent: Pr^0.6667", text(AXIAL, {15: "Water 998.0 0.001 -0.6 4180.0 0.02"}), "arith", {}),
    ("arith-tube_negative_prandtl_laminar", "type 1: negative tube conductivity, laminar: Gz^0.667", text(AXIAL, {15: "Water 998.0 0.001 -0.6 4180.0 0.00001"}), "arith", {}),
    ("arith-shell_viscosity_zero", "type 0: shell viscosity 0 divides the Reynolds number by zero", text(AXIAL, {1: "0", 16: "EngineOil 870.0 0 0.14 2000.0 0.003"}), "arith", {}),
    ("arith-shell_negative_prandtl_axial", "type 1: negative shell conductivity along the tubes", text(AXIAL, {16: "EngineOil 870.0 0.08 -0.14 2000.0 0.003"}), "arith", {}),
    ("arith-shell_zero_prandtl_axial", "type 0: shell cp = 0 gives Pr = 0 along the tubes", text(AXIAL, {1: "0", 16: "EngineOil 870.0 0.08 0.14 0 0.003"}), "arith", {}),
    ("arith-axial_negative_sl", "type 0: the cross-flow value is formed first, so a staggered bank with SL < 0 at Re >= 1000 fails on (ST/SL)^0.2", text(AXIAL, {1: "0", 9: "-0.025", 16: "Water 998.0 0.001 0.6 4180.0 0.05"}), "arith", {}),
    ("success-axial_negative_sl_low_re", "type 0: the same bank at Re < 1000 has p = 0, so the pitch factor is 1 and the run succeeds", text(AXIAL, {1: "0", 9: "-0.025"}), "success", {}),
    ("arith-area_overflow", "type 0, no heat passes, but Nt*pi*L*Do overflows: the earlier report stays", text(AXIAL, {1: "0", 4: "1e307", 5: "1e306", 6: "0.6", 8: "400", 18: "50", 19: "50"}), "arith", {RES: EARLIER_RES}),
    ("arith-march_overflow", "type 0 with a huge element length: the element step overflows", text(AXIAL, {1: "0", 4: "1e307", 5: "1e306"}), "arith", {RES: EARLIER_RES}),
    # --- resources ---------------------------------------------------------
    ("resource-grid_too_large", "L/dL = 2e9: the nodes need more memory than the machine gives", text(AXIAL, {5: "1.5e-9"}), "resource", {}),
    ("resource-results_is_directory", "the results file name is taken by a directory", text(AXIAL), "resource", {RES + "/": b"", LOG: EARLIER_LOG}),
    ("resource-log_is_directory", "the run log name is taken by a directory", text(AXIAL), "resource", {LOG + "/": b""}),
    # --- free-form forms that read as a valid case -------------------------
    ("freeform-labels_101_to_121", "labels 101 to 121 read as 1 to 21", b"".join(b"1" + l[:0] + (b"%02d" % int(l.split(b" ")[0])) + l[len(l.split(b" ")[0]):] + b"\n" for l in text(AXIAL).split(b"\n")[:21]), "success", {}),
    ("freeform-labels_all_zero", "every label 0", b"".join(b"0" + l[len(l.split(b" ")[0]):] + b"\n" for l in text(AXIAL).split(b"\n")[:21]), "success", {}),
    ("freeform-repeat_label_and_value", "line 18 as 2*20: the label and the value", text(AXIAL, {18: "", 19: "90.0"}).replace(b"18    tube inlet", b"2*20    tube inlet"), "success", {}),
    ("freeform-repeat_null", "line 15 name given by 1* (null): stays blank", text(AXIAL, {15: "1* 998.0 0.001 0.6 4180.0 0.002"}), "success", {}),
    ("freeform-null_name", "a comma for the tube fluid name", text(AXIAL, {15: ",998.0 0.001 0.6 4180.0 0.002"}).replace(b"15 ,", b"15,,"), "success", {}),
    ("freeform-slash_keeps_zero", "type 0: line 21 is a slash, the correction factor stays 0", text(AXIAL, {1: "0", 21: "/ not needed"}), "success", {}),
    ("freeform-quoted_names", "quoted names with blanks, a doubled quote and double quotes", text(AXIAL, {13: "'Cu''Ni 90/10' 380.0 0.001", 15: '"Sea water" 998.0 0.001 0.6 4180.0 0.002', 16: "'Engine oil',870.0,0.08,0.14,2000.0,0.003"}), "success", {}),
    ("freeform-values_over_lines", "the tube fluid spread over four lines", text(AXIAL, {15: "Water\n998.0 0.001\n\n0.6\n4180.0 0.002"}), "success", {}),
    ("freeform-exponent_forms", "1.5D-6, 0.3+1, 1E-1 and 25+ digit mantissas", text(AXIAL, {3: "1.5D-6", 4: "0.3+1", 5: "1E-1", 6: "0.3000000000000000000000000009"}), "success", {}),
    ("freeform-integer_bases", "16#28 tubes and 2#1 arrangement", text(AXIAL, {8: "16#28", 7: "2#1"}), "success", {}),
    ("freeform-comma_after_line_end", "a value ended by its line end, a comma on the next line belongs to it", text(AXIAL, {2: "\n,0.016"}), "success", {}),
    ("freeform-surplus_values", "surplus values after each item are skipped", text(AXIAL, {2: "0.016 0.5 7", 8: "40 41 42"}), "success", {}),
    # --- report fields and file states -------------------------------------
    ("success-overflowing_temperatures", "type 0: temperatures beyond F10.2 print as asterisks", text(AXIAL, {1: "0", 18: "1.0e8", 19: "-2.0e7"}), "success", {}),
    ("success-three_digit_exponent", "type 0: mass flows of 1e197 print as 1.000+197", text(AXIAL, {1: "0", 15: "Water 1e200 1e194 0.6 4.2e-194 0.001"}), "success", {}),
    ("success-earlier_files_replaced", "a longer earlier log and report are cut and replaced", text(AXIAL), "success", {LOG: EARLIER_LOG * 50, RES: EARLIER_RES * 500}),
    # --- correlations and exchanger types ----------------------------------
    ("success-type0_dense_bundle", "type 0: x = 2.6, the axial correlation", text(AXIAL, {1: "0"}), "success", {}),
    ("success-type0_sparse_laminar", "type 0: x = 5.3, shell pipe flow laminar", text(AXIAL, {1: "0", 8: "10"}), "success", {}),
    ("success-type0_sparse_turbulent", "type 0: x = 5.3, water on the shell side, turbulent pipe flow", text(AXIAL, {1: "0", 8: "10", 16: "Water 998.0 0.001 0.6 4180.0 0.05"}), "success", {}),
    ("success-type1_sparse_turbulent", "type 1: sparse bundle, turbulent shell pipe flow", text(AXIAL, {8: "10", 16: "Water 998.0 0.001 0.6 4180.0 0.05", 21: "0.3"}), "success", {}),
    ("success-type0_no_elements", "type 0: dL > L, one table line", text(AXIAL, {1: "0", 5: "4.0"}), "success", {}),
    ("success-type1_no_elements", "type 1: dL > L, converged at once", text(AXIAL, {5: "4.0"}), "success", {}),
    ("success-type2_cylinder_low", "type 2: two tubes, single cylinder, Re < 1e4", text(CROSS, {8: "2"}), "success", {}),
    ("success-type2_cylinder_middle", "type 2: single cylinder, 1e4 <= Re < 4e5", text(CROSS, {8: "2", 16: "Water 998.0 0.001 0.6 4180.0 0.05"}), "success", {}),
    ("success-type2_cylinder_full", "type 2: single cylinder, Re >= 4e5", text(CROSS, {8: "2", 16: "Water 998.0 0.001 0.6 4180.0 1.5"}), "success", {}),
    ("success-type2_inline_row1", "type 2: inline bank, Re < 100", text(CROSS, {10: "0.05", 16: "Water 998.0 0.001 0.6 4180.0 0.0001"}), "success", {}),
    ("success-type2_inline_row2", "type 2: inline bank, 100 <= Re < 1000", text(CROSS, {10: "0.05", 16: "Water 998.0 0.001 0.6 4180.0 0.001"}), "success", {}),
    ("success-type2_inline_row3", "type 2: inline bank, 1000 <= Re < 2e5", text(CROSS, {10: "0.05", 16: "Water 998.0 0.001 0.6 4180.0 0.01"}), "success", {}),
    ("success-type2_inline_row4", "type 2: inline bank, Re >= 2e5", text(CROSS, {10: "0.05", 16: "Water 998.0 0.001 0.6 4180.0 1.0"}), "success", {}),
    ("success-type2_staggered_row1", "type 2: staggered bank, Re < 500", text(CROSS, {7: "1", 10: "0.05", 16: "Water 998.0 0.001 0.6 4180.0 0.0003"}), "success", {}),
    ("success-type2_staggered_row2", "type 2: staggered bank, 500 <= Re < 1000", text(CROSS, {7: "1", 10: "0.05", 16: "Water 998.0 0.001 0.6 4180.0 0.0015"}), "success", {}),
    ("success-type3_staggered_row3", "type 3: staggered bank, 1000 <= Re < 2e5", text(CROSS, {1: "3", 7: "1", 10: "0.05", 16: "Water 998.0 0.001 0.6 4180.0 0.01", 21: "0.01"}), "success", {}),
    ("success-type3_staggered_row4", "type 3: staggered bank, Re >= 2e5, diagonal gap", text(CROSS, {1: "3", 7: "1", 9: "0.03", 10: "0.06", 16: "Water 998.0 0.001 0.6 4180.0 1.0", 21: "0.01"}), "success", {}),
    ("success-type2_uneven_compartments", "type 2: L = 1, dL = 0.1, Nb = 3: compartments 0-2, 2-4, 4-7, 7-10", text(CROSS, {4: "1.0", 5: "0.1", 11: "3"}), "success", {}),
    ("success-type3_uneven_compartments", "type 3: L = 1, dL = 0.1, Nb = 2: compartments 0-3, 3-6, 6-10", text(CROSS, {1: "3", 4: "1.0", 5: "0.1", 11: "2", 21: "0.0003"}), "success", {}),
    ("success-type3_no_baffles", "type 3: one compartment over the whole tube", text(CROSS, {1: "3", 11: "0", 21: "0.0001"}), "success", {}),
    ("success-type3_equal_inlets", "type 3: equal inlet temperatures, no heat passes, no correction", text(CROSS, {1: "3", 18: "40.0", 19: "40.0"}), "success", {}),
]

# Failures whose diagnostic names this machine's memory: the log is checked for
# recording the failure (expected/log_records_failure), not byte for byte.
MACHINE_DEPENDENT_LOG = {"resource-grid_too_large"}


def run(exe, name, about, data, intent, setup):
    with tempfile.TemporaryDirectory() as work:
        if data is not None:
            open(os.path.join(work, CASE), "wb").write(data)
        for fname, content in setup.items():
            if fname.endswith("/"):
                os.makedirs(os.path.join(work, fname[:-1]))
            else:
                open(os.path.join(work, fname), "wb").write(content)
        p = subprocess.run([exe], cwd=work, stdin=subprocess.DEVNULL, capture_output=True, timeout=300)
        log = os.path.join(work, LOG)
        res = os.path.join(work, RES)
        logtext = open(log, "rb").read() if os.path.isfile(log) else None
        wrote_res = os.path.isfile(res) and (RES not in setup or open(res, "rb").read() != setup[RES])
        if intent == "success":
            ok = p.returncode == 0 and not p.stdout and wrote_res
        elif intent in ("input", "arith", "resource"):
            numbers = {"input": range(10, 20), "arith": range(20, 30), "resource": range(30, 40)}[intent]
            err = p.stderr.decode(errors="replace")
            # The log records the diagnostic, unless the log is what cannot be written.
            recorded = logtext is None or (logtext.startswith(b" run-time error ")
                                           and logtext.endswith(b" Calculation Terminated !!!\r\n"))
            ok = (p.returncode == 1 and any(f"run-time error {n}:" in err for n in numbers)
                  and not wrote_res and recorded)
        else:
            ok = (p.returncode == 0 and p.stdout == b"Stop - Program terminated.\n" and not wrote_res
                  and logtext is not None and logtext.replace(b"\r\n ", b"").startswith(b" " + intent.encode()))
        if not ok:
            print(f"NOT AS INTENDED: {name}: exit {p.returncode}, stdout {p.stdout!r}, "
                  f"stderr {p.stderr[:200]!r}, log {logtext!r}")
            return False
        target = os.path.join(TOP, "tests", "cases", name)
        shutil.rmtree(target, ignore_errors=True)
        os.makedirs(os.path.join(target, "expected"))
        if data is not None:
            open(os.path.join(target, CASE), "wb").write(data)
        files = {k: v for k, v in setup.items() if not k.endswith("/")}
        dirs = [k for k in setup if k.endswith("/")]
        if files or dirs:
            os.makedirs(os.path.join(target, "setup"))
            for fname, content in files.items():
                open(os.path.join(target, "setup", fname), "wb").write(content)
            for d in dirs:
                os.makedirs(os.path.join(target, "setup", d))
                open(os.path.join(target, "setup", d, ".keep"), "wb").write(b"")
        open(os.path.join(target, "about.txt"), "w").write(about + "\n")
        e = os.path.join(target, "expected")
        open(os.path.join(e, "exit_status"), "w").write(f"{p.returncode}\n")
        open(os.path.join(e, "stdout"), "wb").write(p.stdout)
        open(os.path.join(e, "stderr_nonempty"), "w").write("1\n" if p.stderr else "0\n")
        if name in MACHINE_DEPENDENT_LOG:
            open(os.path.join(e, "log_records_failure"), "w").write("")
        elif logtext is not None:
            open(os.path.join(e, LOG), "wb").write(logtext)
        if os.path.isfile(res):
            open(os.path.join(e, RES), "wb").write(open(res, "rb").read())
        return True


def main():
    exe = os.path.abspath(sys.argv[1])
    only = sys.argv[2] if len(sys.argv) > 2 else ""
    bad = 0
    for name, about, data, intent, setup in CASES:
        if only in name and not run(exe, name, about, data, intent, setup):
            bad += 1
    print(f"{len(CASES) - bad} written, {bad} not as intended")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
