-- Per-user accounts: the rules the views cannot express, as triggers on the store tables.
-- The views decide which rows a user sees and where a written row may land; these decide who
-- may change what within them (roles, other users, ownership, the manager, authorship).
-- Every check applies only to user accounts (vt_restricted); administrative accounts pass.
-- A refusal ends the statement with error 1644 and its reason; the statement changes nothing.
-- Applied by scripts/setup-db.sh, names replaced as in 1-functions.sql.

USE `@STORE@`;

DELIMITER //

-- Users: profile and role. Nobody's password lives here in this mode: the server keeps it.
CREATE OR REPLACE TRIGGER vt_users_bi BEFORE INSERT ON Users FOR EACH ROW
BEGIN
  SET NEW.password = '';
  IF vt_restricted() AND NOT vt_is_admin() THEN
    CALL vt_refuse('Only an administrator may add users.');
  END IF;
END//

CREATE OR REPLACE TRIGGER vt_users_bu BEFORE UPDATE ON Users FOR EACH ROW
BEGIN
  SET NEW.password = '';
  IF vt_restricted() THEN
    -- Byte for byte: a look-alike name (other case or accents) would leave the account behind.
    IF NOT (BINARY NEW.Username <=> BINARY OLD.Username) THEN
      CALL vt_refuse('A user name cannot change: the server account keeps it.');
    END IF;
    IF UPPER(OLD.Username) = 'ADMIN' AND NOT (UPPER(NEW.Role) <=> 'ADMIN') THEN
      CALL vt_refuse('The master account keeps the role ADMIN.');
    END IF;
    IF NOT vt_is_admin() THEN
      IF NOT vt_is_me(OLD.Username) THEN
        CALL vt_refuse('Only an administrator may change another user.');
      END IF;
      IF NOT (NEW.Role <=> OLD.Role) THEN
        CALL vt_refuse('Only an administrator may change a role.');
      END IF;
    END IF;
  END IF;
END//

CREATE OR REPLACE TRIGGER vt_users_bd BEFORE DELETE ON Users FOR EACH ROW
BEGIN
  IF vt_restricted() THEN
    IF NOT vt_is_admin() THEN CALL vt_refuse('Only an administrator may delete users.'); END IF;
    IF UPPER(OLD.Username) = 'ADMIN' THEN CALL vt_refuse('The master account cannot be deleted.'); END IF;
  END IF;
END//

-- Settings and the schema version: administrators only.
CREATE OR REPLACE TRIGGER vt_global_settings_bi BEFORE INSERT ON global_settings FOR EACH ROW
  IF NOT vt_is_admin() THEN CALL vt_refuse('Only an administrator may change the settings.'); END IF//
CREATE OR REPLACE TRIGGER vt_global_settings_bu BEFORE UPDATE ON global_settings FOR EACH ROW
  IF NOT vt_is_admin() THEN CALL vt_refuse('Only an administrator may change the settings.'); END IF//
CREATE OR REPLACE TRIGGER vt_global_settings_bd BEFORE DELETE ON global_settings FOR EACH ROW
  IF NOT vt_is_admin() THEN CALL vt_refuse('Only an administrator may change the settings.'); END IF//
CREATE OR REPLACE TRIGGER vt_schema_version_bi BEFORE INSERT ON schema_version FOR EACH ROW
  IF NOT vt_is_admin() THEN CALL vt_refuse('Only an administrator may change the schema version.'); END IF//
CREATE OR REPLACE TRIGGER vt_schema_version_bu BEFORE UPDATE ON schema_version FOR EACH ROW
  IF NOT vt_is_admin() THEN CALL vt_refuse('Only an administrator may change the schema version.'); END IF//
CREATE OR REPLACE TRIGGER vt_schema_version_bd BEFORE DELETE ON schema_version FOR EACH ROW
  IF NOT vt_is_admin() THEN CALL vt_refuse('Only an administrator may change the schema version.'); END IF//

-- Projects: anyone creates one and becomes its manager; the manager or an administrator
-- changes or deletes it. The server numbers a new project: a number chosen by the user could be
-- a deleted project's, whose members and activity rows would then come with it.
-- The program finds projects by name and refuses a name in use, but a user sees only their own
-- projects: a name that any other project has is refused here as a duplicate key is (1062).
CREATE OR REPLACE PROCEDURE vt_refuse_taken_project_name(n VARCHAR(400), project INT) SQL SECURITY DEFINER
BEGIN
  IF vt_restricted() AND EXISTS (SELECT 1 FROM Projects WHERE ProjectName = n AND ProjectID <> project) THEN
    SIGNAL SQLSTATE '23000' SET MYSQL_ERRNO = 1062,
      MESSAGE_TEXT = 'A project with this name already exists. Choose another name.';
  END IF;
END//

CREATE OR REPLACE TRIGGER vt_projects_bi BEFORE INSERT ON Projects FOR EACH ROW
BEGIN
  IF NOT vt_is_admin() AND NOT vt_is_me(NEW.ProjectManager) THEN
    CALL vt_refuse('A new project is managed by the user who creates it.');
  END IF;
  IF NOT vt_is_admin() AND NEW.ProjectID <> 0 THEN
    CALL vt_refuse('A new project is numbered by the server.');
  END IF;
  CALL vt_refuse_taken_project_name(NEW.ProjectName, IFNULL(NEW.ProjectID, 0));
END//

CREATE OR REPLACE TRIGGER vt_projects_bu BEFORE UPDATE ON Projects FOR EACH ROW
BEGIN
  IF NOT vt_manages(OLD.ProjectID) OR NOT (NEW.ProjectID <=> OLD.ProjectID) AND vt_restricted() THEN
    CALL vt_refuse('Only the project manager or an administrator may change a project.');
  END IF;
  IF NOT (NEW.ProjectName <=> OLD.ProjectName) THEN
    CALL vt_refuse_taken_project_name(NEW.ProjectName, OLD.ProjectID);
  END IF;
END//

CREATE OR REPLACE TRIGGER vt_projects_bd BEFORE DELETE ON Projects FOR EACH ROW
  IF NOT vt_manages(OLD.ProjectID) THEN
    CALL vt_refuse('Only the project manager or an administrator may delete a project.');
  END IF//

-- Members: the manager or an administrator adds and removes them.
CREATE OR REPLACE TRIGGER vt_projectmembers_bi BEFORE INSERT ON ProjectMembers FOR EACH ROW
  IF NOT vt_manages(NEW.ProjectID) THEN
    CALL vt_refuse('Only the project manager or an administrator may change the members.');
  END IF//

CREATE OR REPLACE TRIGGER vt_projectmembers_bu BEFORE UPDATE ON ProjectMembers FOR EACH ROW
  IF NOT vt_manages(OLD.ProjectID) OR NOT vt_manages(NEW.ProjectID) THEN
    CALL vt_refuse('Only the project manager or an administrator may change the members.');
  END IF//

CREATE OR REPLACE TRIGGER vt_projectmembers_bd BEFORE DELETE ON ProjectMembers FOR EACH ROW
  IF NOT vt_manages(OLD.ProjectID) THEN
    CALL vt_refuse('Only the project manager or an administrator may change the members.');
  END IF//

CREATE OR REPLACE TRIGGER vt_projectmembers_ai AFTER INSERT ON ProjectMembers FOR EACH ROW
  INSERT INTO vt_membership (MemberID, UserName, ProjectID) VALUES (NEW.MemberID, NEW.UserName, NEW.ProjectID)//
CREATE OR REPLACE TRIGGER vt_projectmembers_au AFTER UPDATE ON ProjectMembers FOR EACH ROW
  UPDATE vt_membership SET MemberID = NEW.MemberID, UserName = NEW.UserName, ProjectID = NEW.ProjectID
   WHERE MemberID = OLD.MemberID//
CREATE OR REPLACE TRIGGER vt_projectmembers_ad AFTER DELETE ON ProjectMembers FOR EACH ROW
  DELETE FROM vt_membership WHERE MemberID = OLD.MemberID//

-- Sets the project of every document below a document. The walks below lift the server's
-- limit of recursive steps (by default 1,000, past which a walk ends without an error and the
-- deeper documents would be left behind) for their own statement; UNION ends them on a loop.
-- Each step looks children up by parent (STRAIGHT_JOIN), not every row at every step.
CREATE OR REPLACE PROCEDURE vt_place_below(id INT, project INT) SQL SECURITY DEFINER
BEGIN
  DECLARE steps BIGINT UNSIGNED DEFAULT @@max_recursive_iterations;
  SET SESSION max_recursive_iterations = 4294967295;
  UPDATE vt_outline SET ProjectID = project WHERE RequirementID IN (
    WITH RECURSIVE below AS (
      SELECT RequirementID FROM vt_outline WHERE ParentID = id AND Level > 2
      UNION
      SELECT o.RequirementID FROM below b STRAIGHT_JOIN vt_outline o ON o.ParentID = b.RequirementID AND o.Level > 2)
    SELECT RequirementID FROM below);
  SET SESSION max_recursive_iterations = steps;
END//

-- Categories: members add and rename them; the manager or an administrator deletes one, and
-- its documents go with it (afterwards no view would show them to anyone who could delete them).
CREATE OR REPLACE TRIGGER vt_catagories_bd BEFORE DELETE ON Catagories FOR EACH ROW
BEGIN
  DECLARE steps BIGINT UNSIGNED DEFAULT @@max_recursive_iterations;
  IF NOT vt_manages(OLD.ProjectID) THEN
    CALL vt_refuse('Only the project manager or an administrator may delete a category.');
  END IF;
  SET SESSION max_recursive_iterations = 4294967295;
  DELETE FROM Requirements WHERE RequirementID IN (
    WITH RECURSIVE below AS (
      SELECT RequirementID FROM Requirements WHERE Level <= 2 AND ParentID = OLD.CatagoryID
      UNION
      SELECT r.RequirementID FROM below b STRAIGHT_JOIN Requirements r ON r.ParentID = b.RequirementID AND r.Level > 2)
    SELECT RequirementID FROM below);
  SET SESSION max_recursive_iterations = steps;
END//

-- A category is changed only where the caller sees it (an insert that updates an existing row
-- on a duplicate key names any row), and keeps its id, which its documents hang under.
CREATE OR REPLACE TRIGGER vt_catagories_bu BEFORE UPDATE ON Catagories FOR EACH ROW
  IF vt_restricted() AND NOT vt_is_admin() THEN
    IF NOT vt_sees_project(OLD.ProjectID) THEN
      CALL vt_refuse('Categories are changed in your own projects only.');
    END IF;
    IF NOT (NEW.CatagoryID <=> OLD.CatagoryID) THEN
      CALL vt_refuse('A category keeps its id.');
    END IF;
  END IF//

-- A category moved to another project takes its documents along.
CREATE OR REPLACE TRIGGER vt_catagories_au AFTER UPDATE ON Catagories FOR EACH ROW
  IF NOT (NEW.ProjectID <=> OLD.ProjectID AND NEW.CatagoryID <=> OLD.CatagoryID) THEN
    UPDATE vt_outline SET ProjectID = NEW.ProjectID WHERE Level <= 2 AND ParentID = NEW.CatagoryID;
    FOR d IN (SELECT RequirementID FROM vt_outline WHERE Level <= 2 AND ParentID = NEW.CatagoryID) DO
      CALL vt_place_below(d.RequirementID, NEW.ProjectID);
    END FOR;
  END IF//

-- Documents: members create them (owned by their creator), save and move them; only the owner
-- (or an administrator) renames one or gives it away; who may delete one: vt_may_delete.
-- Saves are recorded under the saver's own name.
CREATE OR REPLACE TRIGGER vt_requirements_bi BEFORE INSERT ON Requirements FOR EACH ROW
  IF vt_restricted() THEN
    IF NOT vt_is_admin() AND NOT vt_sees_project(vt_doc_project(NEW.Level, NEW.ParentID)) THEN
      CALL vt_refuse('Documents are made in your own projects only.');
    END IF;
    IF NOT vt_is_admin() AND NOT vt_is_me(NEW.Owner) THEN
      CALL vt_refuse('A new document is owned by the user who creates it.');
    END IF;
    IF NOT vt_is_me(NEW.modifiedBy) THEN
      CALL vt_refuse('Changes are recorded under your own name.');
    END IF;
  END IF//

CREATE OR REPLACE TRIGGER vt_requirements_bu BEFORE UPDATE ON Requirements FOR EACH ROW
  IF vt_restricted() THEN
    IF NOT (NEW.RequirementID <=> OLD.RequirementID) THEN
      CALL vt_refuse('A document keeps its id.');
    END IF;
    -- The row as it was must be one the caller sees (an insert that updates an existing row on
    -- a duplicate key names any row).
    IF NOT vt_is_admin() AND NOT vt_sees_project(vt_doc_project(OLD.Level, OLD.ParentID)) THEN
      CALL vt_refuse('Documents are changed in your own projects only.');
    END IF;
    IF NOT (NEW.modifiedBy <=> OLD.modifiedBy) AND NOT vt_is_me(NEW.modifiedBy) THEN
      CALL vt_refuse('Changes are recorded under your own name.');
    END IF;
    IF NOT (NEW.Level <=> OLD.Level AND NEW.ParentID <=> OLD.ParentID) AND NOT vt_is_admin()
       AND NOT vt_sees_project(vt_doc_project(NEW.Level, NEW.ParentID)) THEN
      CALL vt_refuse('Documents are moved within your own projects only.');
    END IF;
    IF NOT vt_is_admin() AND NOT vt_is_me(OLD.Owner) AND NOT (
         NEW.RequirementName <=> OLD.RequirementName AND NEW.Owner <=> OLD.Owner AND NEW.hash <=> OLD.hash
         AND NEW.Created <=> OLD.Created AND NEW.Version <=> OLD.Version AND NEW.Status <=> OLD.Status
         AND NEW.Priority <=> OLD.Priority) THEN
      CALL vt_refuse('Only the document owner may change its topic, owner or details.');
    END IF;
  END IF//

CREATE OR REPLACE TRIGGER vt_requirements_bd BEFORE DELETE ON Requirements FOR EACH ROW
  IF NOT vt_may_delete(OLD.Level, OLD.ParentID, OLD.Owner) THEN
    CALL vt_refuse('Only the document owner, the project manager or an administrator may delete a document.');
  END IF//

-- vt_outline follows every document, with its project; a document that changes project takes
-- the documents below it along.
CREATE OR REPLACE TRIGGER vt_requirements_ai AFTER INSERT ON Requirements FOR EACH ROW
BEGIN
  DECLARE project INT DEFAULT vt_doc_project(NEW.Level, NEW.ParentID);
  INSERT INTO vt_outline (RequirementID, Level, ParentID, ProjectID, Owner)
    VALUES (NEW.RequirementID, NEW.Level, NEW.ParentID, project, NEW.Owner)
    ON DUPLICATE KEY UPDATE Level = NEW.Level, ParentID = NEW.ParentID, ProjectID = project, Owner = NEW.Owner;
END//

CREATE OR REPLACE TRIGGER vt_requirements_au AFTER UPDATE ON Requirements FOR EACH ROW
BEGIN
  DECLARE project INT;
  DECLARE previous INT;
  IF NOT (NEW.Owner <=> OLD.Owner) THEN
    UPDATE vt_outline SET Owner = NEW.Owner WHERE RequirementID = OLD.RequirementID;
  END IF;
  IF NOT (NEW.RequirementID <=> OLD.RequirementID AND NEW.Level <=> OLD.Level AND NEW.ParentID <=> OLD.ParentID) THEN
    SET project = vt_doc_project(NEW.Level, NEW.ParentID);
    SET previous = (SELECT ProjectID FROM vt_outline WHERE RequirementID = OLD.RequirementID);
    UPDATE vt_outline SET RequirementID = NEW.RequirementID, Level = NEW.Level, ParentID = NEW.ParentID,
                          ProjectID = project
     WHERE RequirementID = OLD.RequirementID;
    IF NOT (project <=> previous) THEN CALL vt_place_below(NEW.RequirementID, project); END IF;
  END IF;
END//

-- A document's rows go with it (its row of vt_outline stays, see 1-functions.sql).
CREATE OR REPLACE TRIGGER vt_requirements_ad AFTER DELETE ON Requirements FOR EACH ROW
BEGIN
  DELETE FROM Req_objects WHERE RequirementID = OLD.RequirementID;
  DELETE FROM Req_messages WHERE RequirementID = OLD.RequirementID;
  DELETE FROM msg_state WHERE RequirementID = OLD.RequirementID;
  DELETE FROM Attachments WHERE RequirementID = OLD.RequirementID;
  DELETE FROM Req_revisions WHERE RequirementID = OLD.RequirementID;
  DELETE FROM search_body_text WHERE RequirementID = OLD.RequirementID;
END//

-- Bodies and revisions: members write them; they are deleted with their document.
-- Bodies and search texts change only where the caller sees the document they belong to.
CREATE OR REPLACE TRIGGER vt_req_objects_bu BEFORE UPDATE ON Req_objects FOR EACH ROW
  IF vt_restricted() AND NOT vt_sees_document(OLD.RequirementID) THEN
    CALL vt_refuse('Bodies are changed in your own projects only.');
  END IF//

CREATE OR REPLACE TRIGGER vt_search_body_text_bu BEFORE UPDATE ON search_body_text FOR EACH ROW
  IF vt_restricted() AND NOT vt_sees_document(OLD.RequirementID) THEN
    CALL vt_refuse('Bodies are changed in your own projects only.');
  END IF//

CREATE OR REPLACE TRIGGER vt_req_objects_bd BEFORE DELETE ON Req_objects FOR EACH ROW
  IF NOT vt_may_delete_rows_of(OLD.RequirementID) THEN
    CALL vt_refuse('A body is deleted with its document.');
  END IF//

CREATE OR REPLACE TRIGGER vt_req_revisions_bu BEFORE UPDATE ON Req_revisions FOR EACH ROW
  IF NOT vt_is_admin() THEN CALL vt_refuse('Revisions do not change.'); END IF//

CREATE OR REPLACE TRIGGER vt_req_revisions_bd BEFORE DELETE ON Req_revisions FOR EACH ROW
  IF NOT vt_may_delete_rows_of(OLD.RequirementID) THEN
    CALL vt_refuse('Revisions are deleted with their document.');
  END IF//

-- Messages: posted under the poster's own name; deleted with their document.
CREATE OR REPLACE TRIGGER vt_req_messages_bi BEFORE INSERT ON Req_messages FOR EACH ROW
  IF vt_restricted() AND NOT vt_is_me(NEW.Name) THEN
    CALL vt_refuse('Messages are posted under your own name.');
  END IF//

CREATE OR REPLACE TRIGGER vt_req_messages_bu BEFORE UPDATE ON Req_messages FOR EACH ROW
  IF vt_restricted() AND (NOT vt_is_me(NEW.Name) OR NOT vt_is_admin() AND NOT vt_is_me(OLD.Name)) THEN
    CALL vt_refuse('Messages are posted under your own name.');
  END IF//

CREATE OR REPLACE TRIGGER vt_req_messages_bd BEFORE DELETE ON Req_messages FOR EACH ROW
  IF NOT vt_may_delete_rows_of(OLD.RequirementID) THEN
    CALL vt_refuse('Messages are deleted with their document.');
  END IF//

-- Read states: one's own, or the unread notifications of one's own message to the members of
-- its project; only one's own change.
CREATE OR REPLACE TRIGGER vt_msg_state_bi BEFORE INSERT ON msg_state FOR EACH ROW
  IF vt_restricted() AND NOT vt_is_me(NEW.username)
     AND NOT (vt_wrote(NEW.msgID) AND vt_recipient(NEW.msgID, NEW.username)) THEN
    CALL vt_refuse('Read states are your own, or notices of your message to its project''s members.');
  END IF//

CREATE OR REPLACE TRIGGER vt_msg_state_bu BEFORE UPDATE ON msg_state FOR EACH ROW
  IF vt_restricted() AND (NOT vt_is_me(OLD.username) OR NOT (NEW.username <=> OLD.username)) THEN
    CALL vt_refuse('Only your own read states change.');
  END IF//

CREATE OR REPLACE TRIGGER vt_msg_state_bd BEFORE DELETE ON msg_state FOR EACH ROW
  IF NOT vt_may_delete_rows_of(OLD.RequirementID) THEN
    CALL vt_refuse('Read states are deleted with their document.');
  END IF//

-- Attachments: added under the adder's own name; any member deletes one.
CREATE OR REPLACE TRIGGER vt_attachments_bi BEFORE INSERT ON Attachments FOR EACH ROW
  IF vt_restricted() AND NOT vt_is_me(NEW.Owner) THEN
    CALL vt_refuse('Attachments are added under your own name.');
  END IF//

CREATE OR REPLACE TRIGGER vt_attachments_bu BEFORE UPDATE ON Attachments FOR EACH ROW
  IF vt_restricted() AND (NOT vt_is_me(NEW.Owner) OR NOT vt_is_admin() AND NOT vt_is_me(OLD.Owner)) THEN
    CALL vt_refuse('Attachments are added under your own name.');
  END IF//

-- With a delete trigger, REPLACE deletes the old row and inserts the new one, so that both
-- are checked (without one the server changes the row in place, past the update triggers).
CREATE OR REPLACE TRIGGER vt_attachments_bd BEFORE DELETE ON Attachments FOR EACH ROW
  IF vt_restricted() AND NOT vt_sees_document(OLD.RequirementID) THEN
    CALL vt_refuse('Attachments are deleted in your own projects only.');
  END IF//

-- Activity: logged under one's own name, or as the notices of one's own message; rows are not
-- changed. Members delete them as the program lets them (Recent Updates), their view permitting.
CREATE OR REPLACE TRIGGER vt_activity_log_bi BEFORE INSERT ON activity_Log FOR EACH ROW
  IF vt_restricted() AND NOT vt_is_me(NEW.ModifiedBy)
     AND NOT (NEW.Note = 'DISC_POST' AND vt_wrote(NEW.msgID) AND vt_recipient(NEW.msgID, NEW.ModifiedBy)) THEN
    CALL vt_refuse('Activity is logged under your own name, or as notices of your message.');
  END IF//

CREATE OR REPLACE TRIGGER vt_activity_log_bu BEFORE UPDATE ON activity_Log FOR EACH ROW
  IF NOT vt_is_admin() THEN CALL vt_refuse('Activity records do not change.'); END IF//

-- Members delete the records of their projects (Recent Updates); the trigger also makes
-- REPLACE delete and insert, so that both are checked.
CREATE OR REPLACE TRIGGER vt_activity_log_bd BEFORE DELETE ON activity_Log FOR EACH ROW
  IF vt_restricted() AND NOT vt_is_admin() AND NOT vt_sees_project(OLD.ProjectID) THEN
    CALL vt_refuse('Activity records are deleted in your own projects only.');
  END IF//

DELIMITER ;
